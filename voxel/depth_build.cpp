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
// every index up to 16383 is exact, so ceil/floor give the same verdicts.
std::int16_t lowIndex(float lower) { return static_cast<std::int16_t>(std::ceil(lower)); }
std::int16_t highIndex(float upper) { return static_cast<std::int16_t>(std::floor(upper)); }

}  // namespace

// Voxels along the axis view v looks along: 0, 1 along z; 2, 3 along x;
// 4, 5 along y.
static int depthAxisOf(int view) { return view < 2 ? 2 : view < 4 ? 0 : 1; }

void OccupancyBuilder::prepare(const std::array<GreyImage, 6>& images, std::array<int, 3> dims) {
    std::array<std::vector<std::int16_t>, 6> limits;
    for (int v = 0; v < 6; ++v) {
        float bound[256];
        for (int g = 0; g < 256; ++g) bound[g] = depthBound(g, dims[depthAxisOf(v)]);
        limits[v].resize(images[v].size());
        for (std::size_t p = 0; p < images[v].size(); ++p) {
            const int g = images[v][p];
            limits[v][p] = kNearView[v] ? lowIndex(bound[g]) : highIndex(bound[255 - g]);
        }
    }
    dims_ = dims;
    arrange(limits);
}

void OccupancyBuilder::prepare(const std::array<DepthImage, 6>& images, std::array<int, 3> dims) {
    // Voxel i's centre lies at (i + 0.5) / n of the way along the axis; a
    // near surface at depth d admits i >= dn - 0.5, a far one i <= (1 - d)n - 0.5.
    std::array<std::vector<std::int16_t>, 6> limits;
    for (int v = 0; v < 6; ++v) {
        const double n = dims[depthAxisOf(v)];
        limits[v].resize(images[v].size());
        for (std::size_t p = 0; p < images[v].size(); ++p) {
            const double d = std::clamp(static_cast<double>(images[v][p]), 0.0, 1.0);
            limits[v][p] = kNearView[v] ? static_cast<std::int16_t>(std::ceil(d * n - 0.5))
                                        : static_cast<std::int16_t>(std::floor((1.0 - d) * n - 0.5));
        }
    }
    dims_ = dims;
    arrange(limits);
}

void OccupancyBuilder::arrange(const std::array<std::vector<std::int16_t>, 6>& limits) {
    const int nx = dims_[0], ny = dims_[1], nz = dims_[2];
    // Picture widths: views 0, 1 and 4, 5 are nx wide, 2, 3 nz wide.
    auto at = [&](int view, int column, int row) {
        const int width = view == yPos || view == yNeg ? nz : nx;
        return limits[view][static_cast<std::size_t>(row) * width + column];
    };
    // The bounds along each axis depend on the other two indices only:
    // i's on (j, k), j's on (i, k), k's on (i, j). Kept as separate arrays so
    // the inner loop over k is a plain vectorisable comparison.
    const std::size_t jk = static_cast<std::size_t>(ny) * nx, ik = static_cast<std::size_t>(nz) * nx,
                      ij = static_cast<std::size_t>(nz) * ny;
    iLow_.resize(jk);
    iHigh_.resize(jk);
    jLow_.resize(ik);
    jHigh_.resize(ik);
    kFirst_.resize(ij);
    kLast_.resize(ij);
    for (int j = 0; j < ny; ++j)
        for (int k = 0; k < nx; ++k) {
            const std::size_t at_jk = static_cast<std::size_t>(j) * nx + k;
            iLow_[at_jk] = at(xNeg, k, j);
            iHigh_[at_jk] = at(xPos, nx - 1 - k, j);
        }
    for (int i = 0; i < nz; ++i)
        for (int k = 0; k < nx; ++k) {
            const std::size_t at_ik = static_cast<std::size_t>(i) * nx + k;
            jLow_[at_ik] = at(zPos, nx - 1 - k, i);
            jHigh_[at_ik] = at(zNeg, nx - 1 - k, nz - 1 - i);
        }
    for (int i = 0; i < nz; ++i)
        for (int j = 0; j < ny; ++j) {
            const std::size_t at_ij = static_cast<std::size_t>(i) * ny + j;
            kFirst_[at_ij] = static_cast<std::int16_t>(std::max<int>(0, at(yNeg, nz - 1 - i, j)));
            kLast_[at_ij] = static_cast<std::int16_t>(std::min<int>(nx - 1, at(yPos, i, j)));
        }
}

void OccupancyBuilder::buildSlice(int i, std::uint8_t* rgba) const {
    SliceRows rows;
    buildSlice(i, rgba, rows);
}

void OccupancyBuilder::buildSlice(int i, std::uint8_t* rgba, SliceRows& rows) const {
    const int nx = dims_[0], ny = dims_[1];
    if (rows.height() != ny) {
        std::memset(rgba, 0, static_cast<std::size_t>(nx) * ny * 4);
    } else {
        for (int j = 0; j < ny; ++j)
            if (!rows.empty(j))
                std::memset(rgba + 4 * (static_cast<std::size_t>(j) * nx + rows.first(j)), 0,
                            4 * static_cast<std::size_t>(rows.end(j) - rows.first(j)));
    }
    rows.reset(ny);
    const std::int16_t* jl = &jLow_[static_cast<std::size_t>(i) * nx];
    const std::int16_t* jh = &jHigh_[static_cast<std::size_t>(i) * nx];
    const std::int16_t si = static_cast<std::int16_t>(i);
    for (int j = 0; j < ny; ++j) {
        const std::size_t ij = static_cast<std::size_t>(i) * ny + j;
        const int kFirst = kFirst_[ij], kLast = kLast_[ij];
        if (kFirst > kLast) continue;
        rows.mark(j, kFirst);
        rows.mark(j, kLast);
        const std::int16_t* il = &iLow_[static_cast<std::size_t>(j) * nx];
        const std::int16_t* ih = &iHigh_[static_cast<std::size_t>(j) * nx];
        const std::int16_t sj = static_cast<std::int16_t>(j);
        std::uint32_t* row = reinterpret_cast<std::uint32_t*>(rgba) + static_cast<std::size_t>(j) * nx;
        for (int k = kFirst; k <= kLast; ++k) {
            const bool inside = (il[k] <= si) & (si <= ih[k]) & (jl[k] <= sj) & (sj <= jh[k]);
            row[k] = -static_cast<std::uint32_t>(inside);
        }
    }
}

}  // namespace kubelmar
