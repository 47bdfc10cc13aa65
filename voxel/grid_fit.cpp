#include "voxel/grid_fit.h"

#include <cstdio>

#include "mesh/mesh_frame.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

namespace {

constexpr float kReach = 2048.0f;  // quads reach far beyond the cube

// Writes both quads with slab coordinates q0 (quad 0) and q1 (quad 1). The
// corner layout makes plane 0 keep y >= q0 on axis 0 and <= q0 on the others.
void setQuads(SlabState& slab, float q0, float q1) {
    const float E = kReach;
    auto corners = [&](Float3 quad[4], float q) {
        switch (slab.axis) {
        case 0:
            quad[0] = Float3{-E, q, -E}; quad[1] = Float3{-E, q, E};
            quad[2] = Float3{E, q, E};   quad[3] = Float3{E, q, -E};
            break;
        case 1:
            quad[0] = Float3{-E, -E, q}; quad[1] = Float3{-E, E, q};
            quad[2] = Float3{E, E, q};   quad[3] = Float3{E, -E, q};
            break;
        default:
            quad[0] = Float3{q, -E, -E}; quad[1] = Float3{q, -E, E};
            quad[2] = Float3{q, E, E};   quad[3] = Float3{q, E, -E};
            break;
        }
    };
    corners(slab.clipQuad0, q0);
    corners(slab.clipQuad1, q1);
}

void planeOf(const Float3 quad[4], double plane[4]) {
    const double x1 = quad[0].x, y1 = quad[0].y, z1 = quad[0].z;
    const double x2 = quad[1].x, y2 = quad[1].y, z2 = quad[1].z;
    const double x3 = quad[2].x, y3 = quad[2].y, z3 = quad[2].z;
    plane[0] = y1 * (z2 - z3) + y2 * (z3 - z1) + y3 * (z1 - z2);
    plane[1] = z1 * (x2 - x3) + z2 * (x3 - x1) + z3 * (x1 - x2);
    plane[2] = x1 * (y2 - y3) + x2 * (y3 - y1) + x3 * (y1 - y2);
    plane[3] = -(x1 * (y2 * z3 - y3 * z2) + x2 * (y3 * z1 - y1 * z3) + x3 * (y1 * z2 - y2 * z1));
}

}  // namespace

void fitGrid(SlabState& slab, const Mesh& mesh, int size, int axis, std::ostream& out) {
    FrameGrid cube;
    cube.dims = {size, size, size};
    fitGrid(slab, mesh, cube, axis, out);
}

void fitGrid(SlabState& slab, const Mesh& mesh, const FrameGrid& frame, int axis, std::ostream& out) {
    // The box sides as Mesh::largestSide measures them, in the same order.
    const float ey = length(mesh.corners[6] - mesh.corners[7]);
    const float ez = length(mesh.corners[1] - mesh.corners[6]);
    const float ex = length(mesh.corners[1] - mesh.corners[2]);
    float maxdist = ey;
    if (ez >= maxdist) maxdist = ez;
    if (ex >= maxdist) maxdist = ex;
    // Off the cube the slabs cut the whole frame, whatever part the mesh fills.
    if (!frame.cube) maxdist = kFrameSide;

    const int size = frame.dims[slabFrameAxis(axis)];
    slab.size = size;
    slab.axis = axis;
    // Pictures: XY shows (x, -z), XZ (x, -y), YZ (z, y).
    slab.width = frame.dims[axis == 2 ? 2 : 0];
    slab.height = frame.dims[axis == 0 ? 2 : 1];
    slab.gridStep = static_cast<double>(maxdist) / size;
    char line[160];
    std::snprintf(line, sizeof line, "bb: %f, %f, %f\n", ey, ez, ex);
    out << line;
    std::snprintf(line, sizeof line, "maxdist: %f\n", maxdist);
    out << line;
    std::snprintf(line, sizeof line, "step: %f\n", slab.gridStep);
    out << line;
    out.flush();

    slab.half = maxdist * 0.5f;
    const float top = slab.half;
    const float above = static_cast<float>(slab.half + slab.gridStep);
    // Axis 0 keeps q0 <= y <= q1; axes 1 and 2 keep q1 <= t <= q0.
    if (axis == 0) setQuads(slab, top, above);
    else setQuads(slab, above, top);
    updateClipPlanes(slab);
}

void updateClipPlanes(SlabState& slab) {
    planeOf(slab.clipQuad0, slab.clipPlane0);
    planeOf(slab.clipQuad1, slab.clipPlane1);
    for (double& c : slab.clipPlane1) c = -c;
}

void placeSlab(SlabState& slab, int k) {
    const double half = slab.half;
    const double step = slab.gridStep;
    double high = half - k * step;
    double low = half - (k + 1) * step;
    if (k == 0) high = half + 0.5 * step;
    if (k == slab.size - 1) low = -half - 0.5 * step;
    const float hi = static_cast<float>(high);
    const float lo = static_cast<float>(low);
    if (slab.axis == 0) setQuads(slab, lo, hi);
    else setQuads(slab, hi, lo);
    updateClipPlanes(slab);
}

}  // namespace kubelmar
