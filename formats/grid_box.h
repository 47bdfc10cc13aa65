#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "volume/slice_consumer.h"

namespace kubelmar {

// The voxel grid the exchange formats write: dims[0] x dims[1] x dims[2]
// voxels, index (i, j, k) running along the mesh file's +x, +y, +z. It is the
// run's whole grid, or the part of it that holds the mesh's bounding box.
struct GridBox {
    std::array<int, 3> dims = {0, 0, 0};
    // First voxel of the box inside the run's grid, indices along +x, +y, +z.
    std::array<int, 3> low = {0, 0, 0};
    // Coordinates of the low corner of voxel (0, 0, 0) and the voxel edge
    // along x, y, z, in output units (the file's times the run's scale).
    std::array<double, 3> origin = {0, 0, 0};
    std::array<double, 3> edge = {0, 0, 0};
    // The cube's edge as a float (VolumeInfo::voxelSize): what the formats
    // have always written for a cubic voxel; 0 with anisotropic voxels.
    float voxelSize = 0.0f;
    std::string unit;  // what an output unit is ("mm"), "" when not said
    bool cubicVoxels() const { return edge[0] == edge[1] && edge[1] == edge[2]; }

    std::uint64_t voxelCount() const {
        return static_cast<std::uint64_t>(dims[0]) * dims[1] * dims[2];
    }
    int largestDim() const;
    // The edge of a cubic voxel as the formats write it: the cube's single
    // precision voxelSize, else the edge rounded to single precision.
    float cubicEdge() const { return voxelSize > 0 ? voxelSize : static_cast<float>(edge[0]); }
};

// The whole grid of the volume.
GridBox fullGrid(const VolumeInfo& info);

// The voxels of the grid that meet the mesh's box [meshLow, meshHigh]: at
// least one voxel per axis, never outside the cube. A box face lying on a
// voxel boundary (within a millionth of a voxel) takes no extra layer.
// On a box grid (already the mesh's box) this is the whole grid.
GridBox croppedGrid(const VolumeInfo& info);

// Index along one mesh axis (0..size-1, growing with the coordinate) of
// stack index `index` when the stack runs along `axis` (size: the grid's
// voxels along it).
inline int gridIndex(SignedAxis axis, int index, int size) {
    return axis.sign > 0 ? index : size - 1 - index;
}

}  // namespace kubelmar
