#include "engine/grid_layout.h"

#include <algorithm>
#include <cmath>

#include "formats/number_text.h"
#include "mesh/mesh_frame.h"

namespace kubelmar {

namespace {

const char* const kAxisNames[3] = {"x", "y", "z"};

bool sameMapping(const StackMapping& a, const StackMapping& b) {
    auto same = [](SignedAxis p, SignedAxis q) { return p.axis == q.axis && p.sign == q.sign; };
    return same(a.slice, b.slice) && same(a.row, b.row) && same(a.column, b.column);
}

// Voxels that cover `side` at `edge` a voxel: ceil(side / edge), where a
// quotient within rounding of a whole number counts as that number (the
// mesh's largest side is kept in single precision, so N sides over
// extent / N may come out a hair above N).
int voxelsFor(double side, double edge) {
    const double quotient = side / edge;
    const double slack = 1e-6 + quotient * 2.5e-7;
    return std::max(1, static_cast<int>(std::ceil(quotient - slack)));
}

}  // namespace

StackMapping nativeStackMapping(VoxelMode mode) {
    if (mode == VoxelMode::Clipping) return StackMapping{{1, -1}, {0, 1}, {2, 1}};
    // The depth-buffer and parity modes share one orientation, so their
    // stacks can be compared voxel for voxel.
    return StackMapping{{2, 1}, {1, -1}, {0, -1}};
}

bool validStackMapping(const StackMapping& m) {
    const SignedAxis axes[3] = {m.slice, m.row, m.column};
    bool seen[3] = {false, false, false};
    for (const SignedAxis& a : axes) {
        if (a.axis < 0 || a.axis > 2 || (a.sign != 1 && a.sign != -1) || seen[a.axis]) return false;
        seen[a.axis] = true;
    }
    return true;
}

GridLayoutResult layoutGrid(const RunSettings& settings, const GridMeshBox& box, int maxAxis) {
    GridLayoutResult result;
    GridLayout& layout = result.layout;
    const GridSettings& grid = settings.grid;
    auto fail = [&](std::string why) {
        result.ok = false;
        result.error = std::move(why);
        return result;
    };
    if (!std::isfinite(grid.scale) || !(grid.scale > 0))
        return fail("the scale must be a positive number, not " + numberText(grid.scale));
    const bool edgesGiven = edgesChosen(grid);
    for (int a = 0; a < 3 && edgesGiven; ++a)
        if (!std::isfinite(grid.edge[a]) || !(grid.edge[a] > 0))
            return fail(std::string("the voxel edge along ") + kAxisNames[a] + " must be a positive number, not " +
                        numberText(grid.edge[a]));
    const StackMapping mapping = grid.stack ? *grid.stack : nativeStackMapping(settings.mode);
    if (!validStackMapping(mapping)) return fail("the stack mapping must name x, y and z once each");
    layout.slice = mapping.slice;
    layout.row = mapping.row;
    layout.column = mapping.column;

    const int n = settings.size;
    const double extent = box.extent;
    layout.cube = grid.shape == GridShape::Cube && !edgesGiven;
    if (!edgesGiven && (n < 1 || n > maxAxis))
        return fail("voxel size " + std::to_string(n) + " is outside 1.." + std::to_string(maxAxis));
    layout.cubeVoxelSize = n > 0 ? box.extent / static_cast<float>(n) : 0.0f;
    double largest = 0;
    for (int a = 0; a < 3; ++a) largest = std::max(largest, box.high[a] - box.low[a]);
    const std::string limit = std::to_string(maxAxis) + " voxels along one axis (the most " +
                              (maxAxis < kMaxGridAxis ? "this OpenGL renders)" : "a grid may have)");
    for (int a = 0; a < 3; ++a) {
        const double side = box.high[a] - box.low[a];
        if (layout.cube) {
            layout.dims[a] = n;
            layout.edge[a] = extent / n;
            layout.origin[a] = (box.low[a] + box.high[a]) / 2 - extent / 2;
            continue;
        }
        layout.origin[a] = box.low[a];
        if (edgesGiven) {
            layout.edge[a] = grid.edge[a] / grid.scale;
        } else {
            layout.edge[a] = extent / n;
        }
        // A flat mesh still gets one layer; the largest side of a box grid at
        // N is N voxels exactly.
        const double voxels = side > 0 ? side / layout.edge[a] : 0.0;
        if (!(voxels <= maxAxis + 1.0) || (layout.dims[a] = side > 0 ? voxelsFor(side, layout.edge[a]) : 1) > maxAxis)
            return fail(std::string("the grid needs ") + numberText(std::ceil(voxels)) + " voxels along " +
                        kAxisNames[a] + " (" + numberText(side * grid.scale) + " / " +
                        numberText(layout.edge[a] * grid.scale) + "), more than " + limit);
        if (!edgesGiven && side == largest) layout.dims[a] = n;
    }
    return result;
}

void describeGrid(const GridLayout& layout, const RunSettings& settings, const GridMeshBox& box, VolumeInfo& info) {
    const double scale = settings.grid.scale;
    info.dims = layout.dims;
    info.size = std::max({layout.dims[0], layout.dims[1], layout.dims[2]});
    info.scale = scale;
    info.unit = settings.grid.unit;
    info.cube = layout.cube;
    info.preset = settings.grid.preset;
    for (int a = 0; a < 3; ++a) {
        // Chosen edges are written as given, not through file units and back.
        info.edge[a] = edgesChosen(settings.grid) ? settings.grid.edge[a] : layout.edge[a] * scale;
        info.origin[a] = layout.origin[a] * scale;
        info.meshLow[a] = box.low[a] * scale;
        info.meshHigh[a] = box.high[a] * scale;
    }
    if (layout.cube) {
        // The cube's edge as it has always been written: extent / N rounded
        // to single precision (then scaled).
        info.voxelSize = scale == 1.0 ? layout.cubeVoxelSize : static_cast<float>(layout.cubeVoxelSize * scale);
    } else {
        info.voxelSize = info.cubicVoxels() ? static_cast<float>(info.edge[0]) : 0.0f;
    }
    info.sliceAxis = layout.slice;
    info.rowAxis = layout.row;
    info.columnAxis = layout.column;
}

FramePlacement placeFrame(const GridLayout& layout, VoxelMode mode, const GridMeshBox& box) {
    FramePlacement frame;
    const StackMapping native = nativeStackMapping(mode);
    const StackMapping wanted{layout.slice, layout.row, layout.column};
    frame.identity = layout.cube && sameMapping(native, wanted);
    // Prepared coordinates of a file point p: (p - box centre) * k.
    double largest = 0;
    for (int a = 0; a < 3; ++a) largest = std::max(largest, box.high[a] - box.low[a]);
    const double k = largest > 0 ? kFrameSide / largest : 1.0;
    const SignedAxis nativeRoles[3] = {native.slice, native.row, native.column};
    const SignedAxis wantedRoles[3] = {wanted.slice, wanted.row, wanted.column};
    for (int role = 0; role < 3; ++role) {
        const int b = nativeRoles[role].axis, a = wantedRoles[role].axis;
        frame.source[b] = a;
        frame.sign[b] = nativeRoles[role].sign * wantedRoles[role].sign;
        frame.dims[b] = layout.dims[a];
        const double mid = (box.low[a] + box.high[a]) / 2;
        const double lo = (layout.origin[a] - mid) * k;
        const double span = layout.dims[a] * layout.edge[a] * k;
        frame.centre[b] = lo + span / 2;
        frame.stretch[b] = span > 0 ? kFrameSide / span : 1.0;
    }
    return frame;
}

}  // namespace kubelmar
