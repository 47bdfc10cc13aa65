// The solid's colouring against a brute-force CPU distance: a filled voxel
// within the depth of a touched voxel (Euclidean, between centres) takes
// the colour of one at the least distance, every other filled voxel is core.
#include <gtest/gtest.h>

#include <random>

#include "colour/solid_colouring.h"

namespace kubelmar {
namespace {

struct Volume {
    int n = 0;
    std::vector<std::uint8_t> filled;       // per voxel
    std::vector<std::uint32_t> seedColour;  // per voxel: 0 none, else 0xRRGGBB (never white)
    std::size_t at(int s, int r, int c) const { return (static_cast<std::size_t>(s) * n + r) * n + c; }
};

// A lumpy solid with a cavity; the seeds are the voxels on either side of
// its boundary (as the surface touches them), each coloured at random.
Volume lumpySolid(int n, std::uint32_t seed) {
    Volume v;
    v.n = n;
    v.filled.assign(static_cast<std::size_t>(n) * n * n, 0);
    v.seedColour.assign(v.filled.size(), 0);
    const double h = (n - 1) / 2.0;
    auto inside = [&](int s, int r, int c) {
        const double x = (c - h) / h, y = (r - h) / h, z = (s - h * 0.9) / h;
        const double body = x * x / 0.8 + y * y / 0.6 + z * z + 0.15 * std::sin(5 * x) * std::cos(3 * z);
        const double hole = (x - 0.2) * (x - 0.2) + y * y + (z + 0.1) * (z + 0.1);
        return body < 0.85 && hole > 0.06;
    };
    for (int s = 0; s < n; ++s)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) v.filled[v.at(s, r, c)] = inside(s, r, c);
    std::mt19937 random(seed);
    for (int s = 0; s < n; ++s)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                bool boundary = false;
                const int d[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
                for (const auto& o : d) {
                    const int ss = s + o[0], rr = r + o[1], cc = c + o[2];
                    const bool other = ss >= 0 && ss < n && rr >= 0 && rr < n && cc >= 0 && cc < n && v.filled[v.at(ss, rr, cc)];
                    boundary |= other != (v.filled[v.at(s, r, c)] != 0);
                }
                if (boundary && random() % 3 != 0) v.seedColour[v.at(s, r, c)] = 0x100000u + random() % 0xE00000u;
            }
    return v;
}

class Capture final : public SliceConsumer {
public:
    WriteResult begin(const VolumeInfo& info) override {
        n_ = info.size;
        encoding_ = info.encoding;
        voxels_.assign(4 * static_cast<std::size_t>(n_) * n_ * n_, 0);
        return {};
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        ++slices_;
        std::copy(rgba, rgba + 4 * n_ * n_, voxels_.begin() + 4 * static_cast<std::ptrdiff_t>(s) * n_ * n_);
        return {};
    }
    WriteResult end() override { return {}; }
    const std::uint8_t* at(std::size_t voxel) const { return &voxels_[4 * voxel]; }
    SliceEncoding encoding_ = SliceEncoding::Occupancy;
    int slices_ = 0;

private:
    int n_ = 0;
    std::vector<std::uint8_t> voxels_;
};

void colourSolid(const Volume& v, double depth, Capture& out) {
    PrintStage print(out, PrintSettings{});  // no palette: the colours themselves, core white
    SolidColouring colouring(print, depth);
    VolumeInfo info;
    setCubeGrid(info, v.n, 1.0f);
    info.encoding = SliceEncoding::Occupancy;
    ASSERT_TRUE(colouring.begin(info).ok);
    const int n = v.n;
    std::vector<std::uint8_t> seeds(4 * static_cast<std::size_t>(n) * n), occupancy(seeds.size());
    for (int s = 0; s < n; ++s) {
        for (int p = 0; p < n * n; ++p) {
            const std::size_t voxel = static_cast<std::size_t>(s) * n * n + p;
            const std::uint32_t colour = v.seedColour[voxel];
            seeds[4 * p] = static_cast<std::uint8_t>(colour >> 16);
            seeds[4 * p + 1] = static_cast<std::uint8_t>(colour >> 8);
            seeds[4 * p + 2] = static_cast<std::uint8_t>(colour);
            seeds[4 * p + 3] = colour ? 255 : 0;
            std::fill_n(&occupancy[4 * p], 4, v.filled[voxel] ? 255 : 0);
        }
        colouring.surfaceColours(s, seeds.data());
        ASSERT_TRUE(colouring.slice(s, occupancy.data()).ok);
    }
    ASSERT_TRUE(colouring.end().ok);
}

TEST(SolidColouring, MatchesABruteForceDistanceAtEveryDepth) {
    const int n = 22;
    const Volume v = lumpySolid(n, 5);
    // Every seed, for the brute force.
    std::vector<std::array<int, 3>> seeds;
    for (int s = 0; s < n; ++s)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                if (v.seedColour[v.at(s, r, c)]) seeds.push_back({s, r, c});
    ASSERT_GT(seeds.size(), 500u);
    for (double depth : {0.0, 1.0, 2.0, 2.5, 3.0, std::sqrt(8.0), 6.0, 40.0}) {
        Capture out;
        colourSolid(v, depth, out);
        ASSERT_EQ(out.slices_, n);
        ASSERT_EQ(out.encoding_, SliceEncoding::Colour);
        long coloured = 0, core = 0;
        for (int s = 0; s < n; ++s)
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    const std::size_t voxel = v.at(s, r, c);
                    const std::uint8_t* p = out.at(voxel);
                    const std::uint32_t got = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
                    if (!v.filled[voxel]) {
                        ASSERT_EQ(got, 0u) << "empty voxel " << s << ' ' << r << ' ' << c;
                        continue;
                    }
                    int best = 1 << 30;
                    for (const auto& q : seeds) {
                        const int d2 = (q[0] - s) * (q[0] - s) + (q[1] - r) * (q[1] - r) + (q[2] - c) * (q[2] - c);
                        best = std::min(best, d2);
                    }
                    if (best > depth * depth + 1e-9) {
                        ASSERT_EQ(got, 0xFFFFFFu) << "depth " << depth << " voxel " << s << ' ' << r << ' ' << c
                                                  << " at distance^2 " << best << " should be core";
                        ++core;
                        continue;
                    }
                    // Coloured by a seed at exactly the least distance.
                    bool found = false;
                    for (const auto& q : seeds) {
                        const int d2 = (q[0] - s) * (q[0] - s) + (q[1] - r) * (q[1] - r) + (q[2] - c) * (q[2] - c);
                        found |= d2 == best && v.seedColour[v.at(q[0], q[1], q[2])] == got;
                    }
                    ASSERT_TRUE(found) << "depth " << depth << " voxel " << s << ' ' << r << ' ' << c << " colour "
                                       << std::hex << got;
                    ++coloured;
                }
        EXPECT_GT(coloured, 0) << depth;
        if (depth < 3) {
            EXPECT_GT(core, 0) << depth;
        }
    }
}

// A solid with no surface colours at all is all core, and a slice whose
// colours never came counts as one without surface.
TEST(SolidColouring, NoSurfaceMeansAllCore) {
    Capture out;
    PrintStage print(out, PrintSettings{});
    SolidColouring colouring(print, 3);
    VolumeInfo info;
    setCubeGrid(info, 4, 1.0f);
    info.encoding = SliceEncoding::Occupancy;
    ASSERT_TRUE(colouring.begin(info).ok);
    std::vector<std::uint8_t> full(4 * 16, 255);
    for (int s = 0; s < 4; ++s) ASSERT_TRUE(colouring.slice(s, full.data()).ok);
    ASSERT_TRUE(colouring.end().ok);
    ASSERT_EQ(out.slices_, 4);
    for (std::size_t voxel = 0; voxel < 64; ++voxel) EXPECT_EQ(out.at(voxel)[0], 255);
}

}  // namespace
}  // namespace kubelmar
