#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "voxel/depth_build.h"

namespace kubelmar {
namespace {

// The voxel rule written out literally, voxel by voxel.
void referenceBuild(const std::array<GreyImage, 6>& img, VoxelVolume& voxels) {
    const int n = voxels.size(), m = n - 1;
    auto g = [&](int view, int column, int row) { return int(img[view][row * n + column]); };
    auto bound = [&](int v) { return static_cast<float>((v / 255.0) * (n - 1.0)); };
    voxels.clear();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const int a = g(0, m - k, j), b = g(1, k, j), c = g(4, m - k, i), d = g(5, m - k, m - i);
                const int e = g(2, i, j), f = g(3, m - i, j);
                const float fi = float(i), fj = float(j), fk = float(k);
                if (bound(b) <= fi && fi <= bound(255 - a) && bound(c) <= fj && fj <= bound(255 - d) &&
                    bound(f) <= fk && fk <= bound(255 - e))
                    voxels.row(i, j)[k] = 255;
            }
}

TEST(DepthBuild, MatchesTheLiteralRuleOnRandomPictures) {
    const int n = 64;
    std::mt19937 random(7);
    std::array<GreyImage, 6> images;
    for (auto& image : images) {
        image.resize(n * n);
        // Mostly near and far surfaces, some background, so all cases occur.
        for (auto& p : image) p = std::uniform_int_distribution<int>(0, 9)(random) == 0 ? 255 : random() % 128;
    }
    VoxelVolume fast, slow;
    ASSERT_TRUE(fast.allocate(n));
    ASSERT_TRUE(slow.allocate(n));
    NullProgress none;
    buildOccupancy(images, fast, none);
    referenceBuild(images, slow);
    long filled = 0;
    for (std::size_t b = 0; b < slow.byteCount(); ++b) filled += slow.data()[b] == 255;
    EXPECT_GT(filled, 0);
    EXPECT_EQ(0, std::memcmp(fast.data(), slow.data(), fast.byteCount()));
}

TEST(DepthBuild, BackgroundAlongAnyAxisLeavesTheVoxelEmpty) {
    const int n = 64;
    std::array<GreyImage, 6> images;
    for (auto& image : images) image.assign(n * n, 0);  // every view sees a surface at once
    // One line along z misses the mesh, seen from both ends: the +z view's
    // pixel (column M-k = 5, row j = 10) and the -z view's (column k = 58).
    images[0][10 * n + 5] = 255;
    images[1][10 * n + 58] = 255;
    VoxelVolume voxels;
    ASSERT_TRUE(voxels.allocate(n));
    NullProgress none;
    buildOccupancy(images, voxels, none);
    long filled = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) filled += voxels.row(i, j)[k] == 255;
    EXPECT_EQ(filled, long(n) * n * n - n);
    EXPECT_EQ(voxels.row(0, 10)[58], 0);
    EXPECT_EQ(voxels.row(0, 10)[64], 0);  // bytes past N stay 0
}

}  // namespace
}  // namespace kubelmar
