// The conservative surface: the clipping mode's stack plus every voxel the
// surface touches, held against a brute-force CPU overlap; thin parts; the
// solid modes; faces lying on grid planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "tests/support/gl_test_support.h"
#include "tests/support/touched_cells.h"
#include "voxel/triangle_box.h"

namespace kubelmar::test {
namespace {

// A box turned about two axes, a thin tilted sheet a thousandth of a voxel
// thick at N = 64 and a coloured ball: asymmetric, with faces steep and flat
// to every axis.
std::string mixedShapes() {
    std::ostringstream o;
    const double ca = std::cos(0.6), sa = std::sin(0.6), cb = std::cos(0.35), sb = std::sin(0.35);
    for (int v = 0; v < 8; ++v) {
        const double x = (v & 1) ? 0.3 : -0.3, y = (v & 2) ? 0.18 : -0.18, z = (v & 4) ? 0.4 : -0.4;
        const double x1 = ca * x - sa * y, y1 = sa * x + ca * y;
        const double y2 = cb * y1 - sb * z, z2 = sb * y1 + cb * z;
        o << "v " << x1 - 0.3 << ' ' << y2 << ' ' << z2 << " 0.9 0.3 0.1\n";
    }
    o << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    const double t = 2.0 / 64 / 1000;  // a thousandth of a voxel at N = 64
    const double sheet[4][3] = {{0.1, -0.5, -0.45}, {0.6, -0.3, -0.5}, {0.55, 0.5, 0.2}, {0.05, 0.35, 0.3}};
    for (int side = 0; side < 2; ++side)
        for (const auto& p : sheet) o << "v " << p[0] << ' ' << p[1] << ' ' << p[2] + side * t << " 0.2 0.8 0.4\n";
    o << "f 9 10 11 12\nf 16 15 14 13\nf 9 13 14 10\nf 10 14 15 11\nf 11 15 16 12\nf 12 16 13 9\n";
    return o.str() + sphereObj(-0.2f, -0.55f, 0.5f, 0.15f, 6, 9, 17, false);
}

TEST(Conservative, ClippingIsTheDefaultStackPlusExactlyTheTouchedVoxels) {
    KUBELMAR_REQUIRE_GL();
    for (int n : {31, 64, 128}) {
        EngineFixture plain(n, VoxelMode::Clipping), kept(n, VoxelMode::Clipping);
        kept.settings.conservative = true;
        ASSERT_TRUE(plain.load(mixedShapes()));
        ASSERT_TRUE(kept.load(mixedShapes()));
        ASSERT_TRUE(plain.run().ok);
        ASSERT_TRUE(kept.run().ok);
        const std::vector<char> touched = touchedCells(kept.engine.mesh(), n);
        long changed = 0, missing = 0, extra = 0, beyond = 0, added = 0;
        for (int z = 0; z < n; ++z)
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const int s = n - 1 - y;
                    const bool before = plain.volume.filled(s, x, z), after = kept.volume.filled(s, x, z);
                    const bool touch = touched[(static_cast<std::size_t>(z) * n + y) * n + x] != 0;
                    if (before) changed += std::memcmp(plain.volume.at(s, x, z), kept.volume.at(s, x, z), 4) != 0;
                    missing += touch && !after;
                    extra += after && !touch && !before;  // set by neither rule
                    beyond += before && !touch;           // the default rule past the exact surface
                    added += after && !before;
                }
        EXPECT_EQ(changed, 0) << "N=" << n;  // the default voxels keep their colours
        EXPECT_EQ(missing, 0) << "N=" << n;
        EXPECT_EQ(extra, 0) << "N=" << n;
        EXPECT_GT(added, 0) << "N=" << n;
        // The default rule reaches past the exact surface only at pixel
        // edges (smoothed polygons), rarely.
        EXPECT_LE(beyond, plain.volume.count() / 50) << "N=" << n;
    }
}

// A box 1,000,000 x 1 x 1: at N = 512 a voxel is 1953 units long, and every
// view of the default rule sees the bar edge-on or thinner than a pixel.
TEST(Conservative, AMillionToOneBarIsALineInEveryMode) {
    KUBELMAR_REQUIRE_GL();
    const std::string bar = boxObj(0, 0, 0, 1e6f, 1, 1);
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::Parity, VoxelMode::DepthBuffer}) {
        for (int n : {511, 512}) {
            EngineFixture f(n, mode);
            f.settings.conservative = true;
            ASSERT_TRUE(f.load(bar));
            ASSERT_TRUE(f.run().ok);
            // At odd N the bar lies inside one row of voxels; at even N its
            // middle is the grid's middle plane in y and z, which it straddles:
            // two by two voxels across, each touched.
            EXPECT_EQ(f.volume.count(), n % 2 ? n : 4L * n) << modeName(mode) << " N=" << n;
            if (mode == VoxelMode::Clipping) {
                const int mid = n / 2;
                for (int x = 0; x < n; ++x) ASSERT_TRUE(f.volume.filled(n - 1 - mid, x, mid)) << x;
            }
        }
    }
}

TEST(Conservative, ASheetAThousandthOfAVoxelThickIsAPlaneWithoutHoles) {
    KUBELMAR_REQUIRE_GL();
    const int n = 63;  // odd: the sheet's middle is the middle of a layer
    const float t = 1.0f / n / 1000;
    EngineFixture plain(n, VoxelMode::Clipping), kept(n, VoxelMode::Clipping);
    kept.settings.conservative = true;
    const std::string sheet = boxObj(0, 0, 0.5f - t / 2, 1, 1, 0.5f + t / 2);
    ASSERT_TRUE(plain.load(sheet));
    ASSERT_TRUE(kept.load(sheet));
    ASSERT_TRUE(plain.run().ok);
    ASSERT_TRUE(kept.run().ok);
    EXPECT_EQ(kept.volume.count(), long(n) * n);
    for (int s = 0; s < n; ++s)
        for (int r = 0; r < n; ++r) ASSERT_TRUE(kept.volume.filled(s, r, n / 2)) << s << ' ' << r;
    EXPECT_LE(plain.volume.count(), kept.volume.count());
}

// Voxels only the surface reaches take its colour there; a black surface,
// which the default rule can't tell from nothing, becomes the darkest grey
// that still reads as a voxel.
TEST(Conservative, AddedVoxelsTakeTheSurfacesColour) {
    KUBELMAR_REQUIRE_GL();
    const int n = 31;
    for (const char* colour : {" 0.9 0.3 0.1", " 0 0 0"}) {
        // A wire a tenth of a voxel thick along x, its colour on every corner.
        std::istringstream lines(boxObj(0, 0.5f, 0.5f, 1, 0.5f + 0.1f / n, 0.5f + 0.1f / n));
        std::string wire, line;
        while (std::getline(lines, line)) wire += line + (line[0] == 'v' ? colour : "") + '\n';
        EngineFixture f(n, VoxelMode::Clipping);
        f.settings.conservative = true;
        ASSERT_TRUE(f.load(wire));
        ASSERT_TRUE(f.run().ok);
        ASSERT_EQ(f.volume.count(), n);
        const bool black = std::string(colour) == " 0 0 0";
        for (int x = 0; x < n; ++x) {
            const std::uint8_t* p = f.volume.at(n - 1 - n / 2, x, n / 2);
            const int expected[3] = {black ? 1 : 230, black ? 1 : 77, black ? 1 : 26};
            for (int k = 0; k < 3; ++k) ASSERT_NEAR(p[k], expected[k], black ? 0 : 1) << colour << " x " << x;
        }
    }
}

TEST(Conservative, SolidsGainTheirSurfaceAndKeepTheirInside) {
    KUBELMAR_REQUIRE_GL();
    const int n = 40;
    for (VoxelMode mode : {VoxelMode::Parity, VoxelMode::DepthBuffer}) {
        EngineFixture plain(n, mode), kept(n, mode);
        kept.settings.conservative = true;
        ASSERT_TRUE(plain.load(mixedShapes()));
        ASSERT_TRUE(kept.load(mixedShapes()));
        ASSERT_TRUE(plain.run().ok);
        ASSERT_TRUE(kept.run().ok);
        const std::vector<char> touched = touchedCells(kept.engine.mesh(), n);
        long lost = 0, wrong = 0;
        // Solid stacks: slice along +z, row down from +y, column down from +x.
        for (int s = 0; s < n; ++s)
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    const bool touch = touched[(static_cast<std::size_t>(s) * n + (n - 1 - r)) * n + (n - 1 - c)] != 0;
                    lost += plain.volume.filled(s, r, c) && !kept.volume.filled(s, r, c);
                    wrong += kept.volume.filled(s, r, c) != (plain.volume.filled(s, r, c) || touch);
                }
        EXPECT_EQ(lost, 0) << modeName(mode);
        EXPECT_EQ(wrong, 0) << modeName(mode);
        EXPECT_GT(kept.volume.count(), plain.volume.count()) << modeName(mode);
    }
}

// Faces lying exactly on grid planes: a cube 8 voxels a side whose faces
// are voxel boundaries, against the same cube moved by a thousandth of a
// voxel. The rules, as pinned here:
// - parity and depth decide by voxel centres, which never lie on a grid
//   plane: 8^3 both ways;
// - the clipping rule keeps a surface lying in a slab's boundary in both
//   slabs, so a face on a plane marks the layers on both sides of it (seen
//   edge-on from the other passes it draws nothing);
// - the touched surface sets every voxel whose closed box a face meets:
//   10^3 - 6^3 on the planes, 9^3 - 7^3 moved.
TEST(GridPlanes, EachModesRuleForFacesOnVoxelBoundaries) {
    KUBELMAR_REQUIRE_GL();
    const int n = 32;
    // Two tiny tetrahedra at opposite corners make the mesh's box 0 .. 32 in
    // every axis (one unit a voxel); the cube's faces then lie on planes.
    auto mesh = [](float shift) {
        std::ostringstream o;
        for (float c : {0.0f, 31.99f})
            o << "v " << c << ' ' << c << ' ' << c << "\nv " << c + 0.01f << ' ' << c << ' ' << c << "\nv " << c << ' '
              << c + 0.01f << ' ' << c << "\nv " << c << ' ' << c << ' ' << c + 0.01f << '\n';
        o << "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\nf 5 7 6\nf 5 6 8\nf 5 8 7\nf 6 7 8\n";
        for (int i = 0; i < 8; ++i)
            o << "v " << ((i & 1) ? 20 : 12) + shift << ' ' << ((i & 2) ? 19 : 11) + shift << ' '
              << ((i & 4) ? 18 : 10) + shift << '\n';
        const int quads[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};
        for (const auto& q : quads) o << "f " << q[0] + 8 << ' ' << q[1] + 8 << ' ' << q[2] + 8 << ' ' << q[3] + 8 << '\n';
        return o.str();
    };
    auto count = [&](VoxelMode mode, bool conservative, float shift) {
        EngineFixture f(n, mode);
        f.settings.conservative = conservative;
        EXPECT_TRUE(f.load(mesh(shift)));
        EXPECT_TRUE(f.run().ok);
        return f.volume.count();
    };
    const float shift = 0.001f;  // a thousandth of a voxel
    EXPECT_EQ(count(VoxelMode::Parity, false, 0), 512);
    EXPECT_EQ(count(VoxelMode::Parity, false, shift), 512);
    EXPECT_EQ(count(VoxelMode::DepthBuffer, false, 0), 512);
    EXPECT_EQ(count(VoxelMode::DepthBuffer, false, shift), 512);
    // The two marker tetrahedra touch one corner voxel each.
    EXPECT_EQ(count(VoxelMode::Clipping, true, 0), 10 * 10 * 10 - 6 * 6 * 6 + 2);
    EXPECT_EQ(count(VoxelMode::Clipping, true, shift), 9 * 9 * 9 - 7 * 7 * 7 + 2);
    for (float moved : {0.0f, shift}) {
        EngineFixture f(n, VoxelMode::Clipping);
        ASSERT_TRUE(f.load(mesh(moved)));
        ASSERT_TRUE(f.run().ok);
        // The face x = 12 (y 11..19, z 10..18): cells x = 11 and 12 on the
        // plane, only x = 12 moved. Stack voxel (31 - Ly, Lx, Lz).
        EXPECT_EQ(f.volume.filled(31 - 15, 11, 14), moved == 0) << moved;
        EXPECT_TRUE(f.volume.filled(31 - 15, 12, 14)) << moved;
        EXPECT_FALSE(f.volume.filled(31 - 15, 13, 14)) << moved;  // inside: a shell
    }
}

}  // namespace
}  // namespace kubelmar::test
