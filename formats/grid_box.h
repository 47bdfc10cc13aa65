#pragma once

#include <array>
#include <cstdint>

#include "volume/slice_consumer.h"

namespace kubelmar {

// The voxel grid the exchange formats write: dims[0] x dims[1] x dims[2]
// voxels, index (i, j, k) running along the mesh file's +x, +y, +z. It is the
// engine's N^3 cube, or the part of it that holds the mesh's bounding box.
struct GridBox {
    std::array<int, 3> dims = {0, 0, 0};
    // First voxel of the box inside the N^3 cube, indices along +x, +y, +z.
    std::array<int, 3> low = {0, 0, 0};
    // Mesh-file coordinates of the low corner of voxel (0, 0, 0) and the
    // edge of one cubic voxel, both in file units.
    std::array<double, 3> origin = {0, 0, 0};
    float voxelSize = 0.0f;

    std::uint64_t voxelCount() const {
        return static_cast<std::uint64_t>(dims[0]) * dims[1] * dims[2];
    }
    int largestDim() const;
};

// The whole N^3 cube of the volume.
GridBox fullGrid(const VolumeInfo& info);

// The voxels of the cube that meet the mesh's box [meshLow, meshHigh]: at
// least one voxel per axis, never outside the cube. A box face lying on a
// voxel boundary (within a millionth of a voxel) takes no extra layer.
GridBox croppedGrid(const VolumeInfo& info);

// Index along one mesh axis (0..N-1, growing with the coordinate) of stack
// index `index` when the stack runs along `axis`.
inline int gridIndex(SignedAxis axis, int index, int size) {
    return axis.sign > 0 ? index : size - 1 - index;
}

}  // namespace kubelmar
