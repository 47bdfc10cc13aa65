#pragma once

#include <array>
#include <cstddef>

#include "volume/slice_consumer.h"

namespace kubelmar {

// The size of a stack's slices and how many there are. Pieces that walk
// slices take it from here rather than from VolumeInfo::size, so that a
// grid whose sides differ needs changing in this one place.
struct SliceShape {
    int width = 0;   // columns
    int height = 0;  // rows
    int count = 0;   // slices
    std::size_t pixels() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

inline SliceShape sliceShape(const VolumeInfo& info) { return {info.size, info.size, info.size}; }

// A voxel's edge along the stack's row, column and slice axes, in voxels
// of the smallest edge: all 1 on the cube. Distances through the stack
// (the colour depth) are measured with these weights.
inline std::array<double, 3> stackVoxelEdges(const VolumeInfo&) { return {1.0, 1.0, 1.0}; }

}  // namespace kubelmar
