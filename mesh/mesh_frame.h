#pragma once

#include <array>

#include "mesh/mesh.h"

namespace kubelmar {

// The frame every prepared mesh lies in and every view and voxel grid is
// laid over: the cube -kFrameHalfSide..kFrameHalfSide on each axis (mesh
// units), centred on the origin, the mesh's largest box side kFrameSide long.
constexpr float kFrameHalfSide = 1024.0f;
constexpr float kFrameSide = 2.0f * kFrameHalfSide;
// Distance of the cube's corners from the origin, rounded up to whole mesh
// units (kFrameHalfSide * sqrt 3 = 1773.6): a sphere that holds any mesh.
constexpr float kFrameCornerRadius = 1774.0f;

// A mesh's bounding box in the file's own units, measured in double
// precision so that far-off or tiny meshes still have a size.
struct MeshBox {
    std::array<double, 3> low = {0, 0, 0};
    std::array<double, 3> high = {0, 0, 0};
    double largestSide() const;
};

// The box of mesh.positions (which must not be empty).
MeshBox measureMesh(const Mesh& mesh);

// Moves and scales every position so that the box is centred on the origin
// with its largest side `size` (the frame's kFrameSide units). `box` is
// measureMesh's and its largest side must be > 0.
//
// The positions are formed the way the program always formed them (single
// precision: scale by 1 / side, then by size, then subtract the centre of the
// scaled box), so ordinary meshes keep exactly the same floats. Where that
// is off by more than kFrameTolerance units anywhere - a mesh far from the
// origin compared with its size, or one whose coordinates overflow on the
// way - every position is instead formed from the box centre and scale in
// double precision and rounded once.
void frameMesh(Mesh& mesh, const MeshBox& box, float size);

// In view units (the cube is 2048 wide): 1/16 of a voxel at the finest grid
// (1024), far below anything a voxel can show, so files that framed well
// before keep their exact floats and only badly framed ones change.
constexpr double kFrameTolerance = 1.0 / 8.0;

}  // namespace kubelmar
