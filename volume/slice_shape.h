#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

#include "volume/slice_consumer.h"

namespace kubelmar {

// The size of a stack's slices and how many there are, as one value for the
// pieces that walk a stack slice by slice.
struct SliceShape {
    int width = 0;   // columns
    int height = 0;  // rows
    int count = 0;   // slices
    std::size_t pixels() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

inline SliceShape sliceShape(const VolumeInfo& info) { return {info.width(), info.height(), info.slices()}; }

// A voxel's edge along the stack's row, column and slice axes, in voxels
// of the smallest edge: all 1 on the cube. Distances through the stack
// (the colour depth) are measured with these weights.
inline std::array<double, 3> stackVoxelEdges(const VolumeInfo& info) {
    const double row = info.edge[info.rowAxis.axis], column = info.edge[info.columnAxis.axis],
                 slice = info.edge[info.sliceAxis.axis];
    const double smallest = std::min({row, column, slice});
    if (!(smallest > 0)) return {1.0, 1.0, 1.0};
    return {row / smallest, column / smallest, slice / smallest};
}

}  // namespace kubelmar
