#pragma once

#include <ostream>

#include "mesh/mesh.h"

namespace kubelmar {

// The slab of the clipping mode: two quads (mesh units, corners far beyond
// the fitted cube on the two in-slab axes) and the clip-plane equations
// derived from them. Axis 0 slabs across y, 1 across z, 2 across x.
struct SlabState {
    double gridStep = 0.0;  // voxel edge, mesh units
    float half = 0.0f;      // half the fitted cube's edge
    int axis = 0;
    int size = 0;           // slabs along the axis
    int width = 0, height = 0;  // the pass's picture, pixels
    Float3 clipQuad0[4];
    Float3 clipQuad1[4];
    double clipPlane0[4] = {0, 0, 0, 0};
    double clipPlane1[4] = {0, 0, 0, 0};
};

// Fits the cubic grid to the mesh's box (largest side / N per voxel), prints
// "bb: ", "maxdist: " and "step: " to `out`, and puts the slab at
// [half, half + step] along the axis, just outside the cube.
void fitGrid(SlabState& slab, const Mesh& mesh, int size, int axis, std::ostream& out);
// The same on any grid: frame dims along x, y, z. On the cube (frame.cube)
// exactly the above; otherwise the slabs cut the frame cube -1024..1024,
// one layer of 2048 / dims thick, and the lines report that.
struct FrameGrid;
void fitGrid(SlabState& slab, const Mesh& mesh, const FrameGrid& frame, int axis, std::ostream& out);

// Frame axis (0 x, 1 y, 2 z) a slab axis cuts across: 0 y, 1 z, 2 x.
inline int slabFrameAxis(int axis) { return axis == 0 ? 1 : axis == 1 ? 2 : 0; }

// Recomputes both plane equations from the quads (plane 1 negated so the two
// keep the inside of the slab).
void updateClipPlanes(SlabState& slab);

// Places the slab on layer k (0 = top of the axis) without drift: it covers
// [half - (k+1) step, half - k step], computed afresh for every k. The first
// and last layers reach half a step beyond the cube so that surfaces lying on
// the cube's faces (rounded a little outside) are still taken in.
void placeSlab(SlabState& slab, int k);

}  // namespace kubelmar
