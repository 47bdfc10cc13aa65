#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "voxel/depth_build.h"

namespace kubelmar {
namespace {

// Occupancy bytes (1 filled) of every slice the builder makes, slice-major.
std::vector<std::uint8_t> buildAll(const OccupancyBuilder& builder) {
    const int n = builder.size();
    std::vector<std::uint8_t> out(std::size_t(n) * n * n), rgba(std::size_t(n) * n * 4), reused(rgba.size());
    SliceRows rows;
    for (int i = 0; i < n; ++i) {
        builder.buildSlice(i, rgba.data());
        // One buffer through all slices, cleared only where the last one's
        // spans were, gives the same slices; every voxel is in its row's span.
        builder.buildSlice(i, reused.data(), rows);
        EXPECT_TRUE(reused == rgba) << "slice " << i;
        for (int p = 0; p < n * n; ++p) {
            const std::uint8_t* q = &rgba[4 * p];
            EXPECT_TRUE((q[0] & q[1] & q[2] & q[3]) == 255 || (q[0] | q[1] | q[2] | q[3]) == 0);
            out[std::size_t(i) * n * n + p] = q[3] != 0;
            if (q[3]) {
                EXPECT_TRUE(p % n >= rows.first(p / n) && p % n < rows.end(p / n)) << "slice " << i;
            }
        }
    }
    return out;
}

// The voxel rule written out literally, voxel by voxel: `low(view, column,
// row)` and `high(...)` give the index bounds a picture's pixel sets.
template <typename Low, typename High>
std::vector<std::uint8_t> referenceBuild(int n, Low low, High high) {
    const int m = n - 1;
    std::vector<std::uint8_t> out(std::size_t(n) * n * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const bool x = low(1, k, j) <= i && i <= high(0, m - k, j);
                const bool z = low(4, m - k, i) <= j && j <= high(5, m - k, m - i);
                const bool y = low(3, m - i, j) <= k && k <= high(2, i, j);
                out[(std::size_t(i) * n + j) * n + k] = x && y && z;
            }
    return out;
}

TEST(DepthBuild, MatchesTheLiteralRuleOnRandomPicturesAtBothPrecisions) {
    const int n = 48;
    std::mt19937 random(7);
    std::array<GreyImage, 6> grey;
    std::array<DepthImage, 6> depth;
    for (int v = 0; v < 6; ++v) {
        grey[v].resize(n * n);
        depth[v].resize(n * n);
        // Mostly near and far surfaces, some background, so all cases occur.
        for (int p = 0; p < n * n; ++p) {
            const bool background = std::uniform_int_distribution<int>(0, 9)(random) == 0;
            grey[v][p] = background ? 255 : random() % 128;
            depth[v][p] = background ? 1.0f : std::uniform_real_distribution<float>(0, 0.5f)(random);
        }
    }
    auto g = [&](int view, int column, int row) { return int(grey[view][row * n + column]); };
    auto bound = [&](int v) { return static_cast<float>((v / 255.0) * (n - 1.0)); };
    // 8-bit: index i stands at i / (N - 1) of the depth range.
    const auto byteRule = referenceBuild(
        n, [&](int v, int c, int r) { return std::ceil(bound(g(v, c, r))); },
        [&](int v, int c, int r) { return std::floor(bound(255 - g(v, c, r))); });
    // Full: voxel i's centre stands at (i + 0.5) / N.
    auto d = [&](int view, int column, int row) { return double(depth[view][row * n + column]); };
    const auto fullRule = referenceBuild(
        n, [&](int v, int c, int r) { return std::ceil(d(v, c, r) * n - 0.5); },
        [&](int v, int c, int r) { return std::floor((1 - d(v, c, r)) * n - 0.5); });

    OccupancyBuilder builder;
    builder.prepare(grey, n);
    const auto fromGrey = buildAll(builder);
    builder.prepare(depth, n);
    const auto fromDepth = buildAll(builder);
    long filled = 0;
    for (auto v : byteRule) filled += v;
    EXPECT_GT(filled, 0);
    EXPECT_TRUE(fromGrey == byteRule);
    EXPECT_TRUE(fromDepth == fullRule);
}

TEST(DepthBuild, AFullPrecisionSurfaceOnAVoxelCentreKeepsTheVoxel) {
    // Every view sees a surface at depth 2.5 / 8: exactly on the centres of
    // voxels 2 (near views) and 5 (far views), so voxels 2..5 stay on every
    // axis. A hair deeper, the surfaces pass those centres: 3..4.
    const int n = 8;
    for (const float depth : {2.5f / n, std::nextafter(2.5f / n, 1.0f)}) {
        std::array<DepthImage, 6> images;
        for (auto& image : images) image.assign(n * n, depth);
        OccupancyBuilder builder;
        builder.prepare(images, n);
        const auto all = buildAll(builder);
        const int first = depth == 2.5f / n ? 2 : 3, last = n - 1 - first;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) {
                    auto within = [&](int index) { return first <= index && index <= last; };
                    ASSERT_EQ(all[(std::size_t(i) * n + j) * n + k], within(i) && within(j) && within(k))
                        << depth << ": " << i << ' ' << j << ' ' << k;
                }
    }
}

TEST(DepthBuild, BackgroundAlongAnyAxisLeavesTheVoxelEmpty) {
    const int n = 64;
    std::array<GreyImage, 6> images;
    for (auto& image : images) image.assign(n * n, 0);  // every view sees a surface at once
    // One line along x misses the mesh, seen from both ends: the +x view's
    // pixel (column M-k = 5, row j = 10) and the -x view's (column k = 58).
    images[0][10 * n + 5] = 255;
    images[1][10 * n + 58] = 255;
    OccupancyBuilder builder;
    builder.prepare(images, n);
    const auto all = buildAll(builder);
    long filled = 0;
    for (auto v : all) filled += v;
    EXPECT_EQ(filled, long(n) * n * n - n);
    EXPECT_EQ(all[(0 * n + 10) * n + 58], 0);
}

}  // namespace
}  // namespace kubelmar
