#pragma once

#include <string>

namespace kubelmar {

constexpr int kMaxGridSize = 4096;

// N for a requested voxel edge: the mesh's largest side over `voxelSize`
// (both in file units), rounded up, within 1 .. kMaxGridSize. A quotient
// within a millionth of a whole number counts as that number, so 1 / 0.1
// gives 10, not 11. A flat or point mesh (largest side 0) gives 1.
struct GridSizeResult {
    bool ok = true;
    int size = 0;
    std::string error;  // one line when !ok
};
GridSizeResult gridSizeForVoxelSize(double largestSide, double voxelSize);

}  // namespace kubelmar
