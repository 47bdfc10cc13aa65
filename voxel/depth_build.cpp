#include "voxel/depth_build.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

float depthBound(int value, int size) {
    return static_cast<float>((value / 255.0) * (size - 1.0));
}

namespace {

// Integer index range [lo, hi] equivalent to lower <= index <= upper in
// single precision (indices up to 1023 are exact floats).
struct Range {
    std::int16_t lo;
    std::int16_t hi;
    bool contains(int v) const { return lo <= v && v <= hi; }
};

Range rangeOf(float lower, float upper) {
    return Range{static_cast<std::int16_t>(std::ceil(lower)), static_cast<std::int16_t>(std::floor(upper))};
}

}  // namespace

void buildOccupancy(const std::array<GreyImage, 6>& images, VoxelVolume& voxels, Progress& progress) {
    const int n = voxels.size();
    const int m = n - 1;
    float bound[256];
    for (int v = 0; v < 256; ++v) bound[v] = depthBound(v, n);
    auto at = [&](int view, int column, int row) {
        return images[view][static_cast<std::size_t>(row) * n + column];
    };
    constexpr int xPos = 0, xNeg = 1, yPos = 2, yNeg = 3, zPos = 4, zNeg = 5;

    // The bounds of each axis depend on the other two indices only.
    std::vector<Range> iRange(static_cast<std::size_t>(n) * n);  // [j][k]
    std::vector<Range> jRange(static_cast<std::size_t>(n) * n);  // [i][k]
    for (int a = 0; a < n; ++a) {
        for (int k = 0; k < n; ++k) {
            // a plays j for the i bounds and i for the j bounds.
            iRange[a * n + k] = rangeOf(bound[at(xNeg, k, a)], bound[255 - at(xPos, m - k, a)]);
            jRange[a * n + k] = rangeOf(bound[at(zPos, m - k, a)], bound[255 - at(zNeg, m - k, m - a)]);
        }
    }

    voxels.clear();
    for (int i = 0; i < n; ++i) {
        progress.setValue(i);
        for (int j = 0; j < n; ++j) {
            const Range k = rangeOf(bound[at(yNeg, m - i, j)], bound[255 - at(yPos, i, j)]);
            const int kFirst = std::max<int>(0, k.lo);
            const int kLast = std::min<int>(m, k.hi);
            std::uint8_t* row = voxels.row(i, j);
            for (int kk = kFirst; kk <= kLast; ++kk) {
                if (iRange[j * n + kk].contains(i) && jRange[i * n + kk].contains(j)) row[kk] = 255;
            }
        }
    }
}

}  // namespace kubelmar
