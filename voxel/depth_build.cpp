#include "voxel/depth_build.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

float depthBound(int value, int size) {
    return static_cast<float>((value / 255.0) * (size - 1.0));
}

namespace {

// Index bounds lower <= index <= upper as whole numbers: in single precision
// every index up to 1023 is exact, so ceil/floor give the same verdicts.
std::int16_t lowIndex(float lower) { return static_cast<std::int16_t>(std::ceil(lower)); }
std::int16_t highIndex(float upper) { return static_cast<std::int16_t>(std::floor(upper)); }

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

    // The bounds along each axis depend on the other two indices only:
    // i's on (j, k), j's on (i, k). Kept as separate arrays so the inner loop
    // over k is a plain vectorisable comparison.
    const std::size_t cells = static_cast<std::size_t>(n) * n;
    std::vector<std::int16_t> iLow(cells), iHigh(cells), jLow(cells), jHigh(cells);
    for (int a = 0; a < n; ++a) {
        for (int k = 0; k < n; ++k) {
            const std::size_t at2 = static_cast<std::size_t>(a) * n + k;
            iLow[at2] = lowIndex(bound[at(xNeg, k, a)]);  // a plays j
            iHigh[at2] = highIndex(bound[255 - at(xPos, m - k, a)]);
            jLow[at2] = lowIndex(bound[at(zPos, m - k, a)]);  // a plays i
            jHigh[at2] = highIndex(bound[255 - at(zNeg, m - k, m - a)]);
        }
    }

    voxels.clear();
    for (int i = 0; i < n; ++i) {
        progress.setValue(i);
        const std::int16_t* jl = &jLow[static_cast<std::size_t>(i) * n];
        const std::int16_t* jh = &jHigh[static_cast<std::size_t>(i) * n];
        for (int j = 0; j < n; ++j) {
            const int kFirst = std::max<int>(0, lowIndex(bound[at(yNeg, m - i, j)]));
            const int kLast = std::min<int>(m, highIndex(bound[255 - at(yPos, i, j)]));
            if (kFirst > kLast) continue;
            const std::int16_t* il = &iLow[static_cast<std::size_t>(j) * n];
            const std::int16_t* ih = &iHigh[static_cast<std::size_t>(j) * n];
            std::uint8_t* row = voxels.row(i, j);
            const std::int16_t si = static_cast<std::int16_t>(i), sj = static_cast<std::int16_t>(j);
            for (int k = kFirst; k <= kLast; ++k) {
                const bool inside = (il[k] <= si) & (si <= ih[k]) & (jl[k] <= sj) & (sj <= jh[k]);
                row[k] = static_cast<std::uint8_t>(-static_cast<int>(inside));
            }
        }
    }
}

}  // namespace kubelmar
