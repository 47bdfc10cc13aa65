#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "voxel/progress.h"
#include "voxel/volume.h"

namespace kubelmar {

// One depth image: N x N grey levels, top row first, grey(column, row) at
// [row * N + column]; 255 is the background (nothing seen).
using GreyImage = std::vector<std::uint8_t>;

// Grey level of an RGB pixel as both modes read their pictures.
inline int greyLevel(int r, int g, int b) { return (11 * r + 16 * g + 5 * b) / 32; }

// A depth grey level as a voxel index bound: (value / 255) * (N - 1),
// rounded to single precision.
float depthBound(int value, int size);

// Fills `voxels` (cleared first) from the six axis depth images in view
// order (+x, -x, +y, -y, +z, -z views as the axis-view table numbers them).
// Voxel (i, j, k) is filled (byte k of row (i, j) = 255) when it lies
// between the nearest surfaces seen from both sides along all three axes.
// Reports i to `progress` before each slice.
void buildOccupancy(const std::array<GreyImage, 6>& images, VoxelVolume& voxels, Progress& progress);

}  // namespace kubelmar
