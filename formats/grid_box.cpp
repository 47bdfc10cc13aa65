#include "formats/grid_box.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

int GridBox::largestDim() const { return std::max({dims[0], dims[1], dims[2]}); }

GridBox fullGrid(const VolumeInfo& info) {
    GridBox box;
    box.dims = info.dims;
    box.origin = info.origin;
    box.edge = info.edge;
    box.voxelSize = info.voxelSize;
    box.unit = info.unit;
    return box;
}

GridBox croppedGrid(const VolumeInfo& info) {
    GridBox box = fullGrid(info);
    constexpr double kSlack = 1e-6;  // voxels
    for (int a = 0; a < 3; ++a) {
        // The cube's edge as its files have always reckoned it.
        const double v = info.cubicVoxels() && info.voxelSize > 0 ? info.voxelSize : info.edge[a];
        if (!(v > 0.0) || info.dims[a] <= 0) continue;
        const double lowVoxels = (info.meshLow[a] - info.origin[a]) / v;
        const double highVoxels = (info.meshHigh[a] - info.origin[a]) / v;
        int first = static_cast<int>(std::floor(lowVoxels + kSlack));
        int end = static_cast<int>(std::ceil(highVoxels - kSlack));
        first = std::clamp(first, 0, info.dims[a] - 1);
        end = std::clamp(end, first + 1, info.dims[a]);
        box.low[a] = first;
        box.dims[a] = end - first;
        box.origin[a] = info.origin[a] + first * v;
    }
    return box;
}

}  // namespace kubelmar
