#include "voxel/depth_build.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kubelmar {

float depthBound(int value, int size) {
    return static_cast<float>((value / 255.0) * (size - 1.0));
}

namespace {

constexpr int xPos = 0, xNeg = 1, yPos = 2, yNeg = 3, zPos = 4, zNeg = 5;
// Views whose surfaces bound an index from below; the others from above.
constexpr bool kNearView[6] = {false, true, false, true, true, false};

// Index bounds lower <= index <= upper as whole numbers: in single precision
// every index up to 4095 is exact, so ceil/floor give the same verdicts.
std::int16_t lowIndex(float lower) { return static_cast<std::int16_t>(std::ceil(lower)); }
std::int16_t highIndex(float upper) { return static_cast<std::int16_t>(std::floor(upper)); }

}  // namespace

void OccupancyBuilder::prepare(const std::array<GreyImage, 6>& images, int size) {
    float bound[256];
    for (int v = 0; v < 256; ++v) bound[v] = depthBound(v, size);
    std::array<std::vector<std::int16_t>, 6> limits;
    for (int v = 0; v < 6; ++v) {
        limits[v].resize(images[v].size());
        for (std::size_t p = 0; p < images[v].size(); ++p) {
            const int g = images[v][p];
            limits[v][p] = kNearView[v] ? lowIndex(bound[g]) : highIndex(bound[255 - g]);
        }
    }
    size_ = size;
    arrange(limits);
}

void OccupancyBuilder::prepare(const std::array<DepthImage, 6>& images, int size) {
    // Voxel i's centre lies at (i + 0.5) / N of the way along the axis; a
    // near surface at depth d admits i >= dN - 0.5, a far one i <= (1 - d)N - 0.5.
    const double n = size;
    std::array<std::vector<std::int16_t>, 6> limits;
    for (int v = 0; v < 6; ++v) {
        limits[v].resize(images[v].size());
        for (std::size_t p = 0; p < images[v].size(); ++p) {
            const double d = std::clamp(static_cast<double>(images[v][p]), 0.0, 1.0);
            limits[v][p] = kNearView[v] ? static_cast<std::int16_t>(std::ceil(d * n - 0.5))
                                        : static_cast<std::int16_t>(std::floor((1.0 - d) * n - 0.5));
        }
    }
    size_ = size;
    arrange(limits);
}

void OccupancyBuilder::arrange(const std::array<std::vector<std::int16_t>, 6>& limits) {
    const int n = size_;
    const int m = n - 1;
    auto at = [&](int view, int column, int row) { return limits[view][static_cast<std::size_t>(row) * n + column]; };
    // The bounds along each axis depend on the other two indices only:
    // i's on (j, k), j's on (i, k), k's on (i, j). Kept as separate arrays so
    // the inner loop over k is a plain vectorisable comparison.
    const std::size_t cells = static_cast<std::size_t>(n) * n;
    iLow_.resize(cells);
    iHigh_.resize(cells);
    jLow_.resize(cells);
    jHigh_.resize(cells);
    kFirst_.resize(cells);
    kLast_.resize(cells);
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            const std::size_t ab = static_cast<std::size_t>(a) * n + b;
            iLow_[ab] = at(xNeg, b, a);  // a plays j, b plays k
            iHigh_[ab] = at(xPos, m - b, a);
            jLow_[ab] = at(zPos, m - b, a);  // a plays i, b plays k
            jHigh_[ab] = at(zNeg, m - b, m - a);
            kFirst_[ab] = static_cast<std::int16_t>(std::max<int>(0, at(yNeg, m - a, b)));  // a plays i, b j
            kLast_[ab] = static_cast<std::int16_t>(std::min<int>(m, at(yPos, a, b)));
        }
    }
}

void OccupancyBuilder::buildSlice(int i, std::uint8_t* rgba) const {
    const int n = size_;
    std::memset(rgba, 0, static_cast<std::size_t>(n) * n * 4);
    const std::int16_t* jl = &jLow_[static_cast<std::size_t>(i) * n];
    const std::int16_t* jh = &jHigh_[static_cast<std::size_t>(i) * n];
    const std::int16_t si = static_cast<std::int16_t>(i);
    for (int j = 0; j < n; ++j) {
        const std::size_t ij = static_cast<std::size_t>(i) * n + j;
        const int kFirst = kFirst_[ij], kLast = kLast_[ij];
        if (kFirst > kLast) continue;
        const std::int16_t* il = &iLow_[static_cast<std::size_t>(j) * n];
        const std::int16_t* ih = &iHigh_[static_cast<std::size_t>(j) * n];
        const std::int16_t sj = static_cast<std::int16_t>(j);
        std::uint32_t* row = reinterpret_cast<std::uint32_t*>(rgba) + static_cast<std::size_t>(j) * n;
        for (int k = kFirst; k <= kLast; ++k) {
            const bool inside = (il[k] <= si) & (si <= ih[k]) & (jl[k] <= sj) & (sj <= jh[k]);
            row[k] = -static_cast<std::uint32_t>(inside);
        }
    }
}

}  // namespace kubelmar
