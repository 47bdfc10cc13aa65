#include "formats/voxel_size.h"

#include <algorithm>
#include <cmath>

#include "formats/number_text.h"

namespace kubelmar {

GridSizeResult gridSizeForVoxelSize(double largestSide, double voxelSize) {
    GridSizeResult result;
    if (!std::isfinite(voxelSize) || voxelSize <= 0.0) {
        result.ok = false;
        result.error = "voxel size must be a positive number, not " + numberText(voxelSize);
        return result;
    }
    const double quotient = largestSide / voxelSize;
    const double whole = std::round(quotient);
    const double voxels = std::abs(quotient - whole) <= 1e-6 * std::max(1.0, whole) ? whole : std::ceil(quotient);
    if (!(voxels <= kMaxGridSize)) {
        result.ok = false;
        result.error = "voxel size " + numberText(voxelSize) + " gives " +
                       (std::isfinite(voxels) ? numberText(voxels) : std::string("too many")) +
                       " voxels along the mesh's largest side (" + numberText(largestSide) + "); at most " +
                       std::to_string(kMaxGridSize) + " allowed";
        return result;
    }
    result.size = std::max(1, static_cast<int>(voxels));
    return result;
}

}  // namespace kubelmar
