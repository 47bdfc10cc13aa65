#pragma once

#include <array>
#include <string>

#include "engine/grid_options.h"  // stackAlong
#include "engine/run_settings.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// Most voxels along any one axis of a grid; the GL implementation may allow
// fewer (its viewport, texture and renderbuffer limits).
constexpr int kMaxGridAxis = 16384;

// The grid a run voxelizes on, worked out from the settings and the mesh's
// box: voxels and edge per mesh axis, the low corner, and the stack mapping.
// Lengths are in the mesh file's units (before the scale).
struct GridLayout {
    bool cube = true;                      // the N^3 cube centred on the mesh's box
    std::array<int, 3> dims = {0, 0, 0};   // voxels along x, y, z
    std::array<double, 3> edge = {0, 0, 0};
    std::array<double, 3> origin = {0, 0, 0};
    SignedAxis slice, row, column;          // stack indices through the mesh's axes
    float cubeVoxelSize = 0.0f;             // the cube's meshExtent / N in single precision
};

struct GridLayoutResult {
    bool ok = true;
    std::string error;  // one line when !ok
    GridLayout layout;
};

// The mesh as the layout is measured against: its box in file units and the
// largest side as the engine keeps it (single precision).
struct GridMeshBox {
    std::array<double, 3> low = {0, 0, 0}, high = {0, 0, 0};
    float extent = 0.0f;
};

// Each mode's own stack mapping: clipping slices down y, rows along +x,
// columns along +z; the solid modes slice up z, rows down y, columns down x.
StackMapping nativeStackMapping(VoxelMode mode);

// The grid for `settings` (shape, edges, stack) at N = settings.size on
// `box`. Cube: N^3, edge extent / N, centred on the box. Box: from the box's
// low corner, edge extent / N or settings.grid.edge (output units, divided
// by the scale), ceil(side / edge) voxels per axis. Fails, naming the axis,
// when an axis would pass `maxAxis` voxels, when an edge or the scale is not
// a positive finite number, or when the stack mapping is not one axis each.
GridLayoutResult layoutGrid(const RunSettings& settings, const GridMeshBox& box, int maxAxis);

// Fills the grid part of `info` (dims, edges, origin and mesh box scaled to
// output units, unit, stack axes, N as the largest dimension).
void describeGrid(const GridLayout& layout, const RunSettings& settings, const GridMeshBox& box, VolumeInfo& info);

// How a prepared mesh (the frame cube, largest side 2048 units, centred on
// the box) is placed for a mode to render the layout as it renders the
// cube: frame axis b = sign[b] * ((p[source[b]] - centre[b]) * stretch[b]),
// so that the grid fills -1024..1024 on every frame axis, cut into dims[b]
// layers, and the mode's own stack mapping on the frame is the layout's on
// the mesh. `identity` when the layout is the cube in the mode's mapping:
// the prepared mesh is used as it is.
struct FramePlacement {
    bool identity = true;
    std::array<int, 3> source = {0, 1, 2};
    std::array<double, 3> sign = {1, 1, 1};
    std::array<double, 3> centre = {0, 0, 0};   // prepared mesh units, along source[b]
    std::array<double, 3> stretch = {1, 1, 1};
    std::array<int, 3> dims = {0, 0, 0};        // layers along frame x, y, z
};
FramePlacement placeFrame(const GridLayout& layout, VoxelMode mode, const GridMeshBox& box);

// True when any edge is set (not 0): the grid is then a box of those edges,
// and each must be a positive number.
inline bool edgesChosen(const GridSettings& grid) {
    return grid.edge[0] != 0 || grid.edge[1] != 0 || grid.edge[2] != 0;
}


// True when `mapping` names each mesh axis once, signs +1 or -1.
bool validStackMapping(const StackMapping& mapping);

}  // namespace kubelmar
