// Both voxelization modes end to end on the headless context: meshes built
// here, volumes and written slices checked at chosen voxels.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

constexpr int N = 64;

// Clipping voxel (s, r, c) colour; voxel occupancy in either mode.
const std::uint8_t* colorAt(EngineFixture& f, int s, int r, int c) { return f.volume.at(s, r, c); }
bool filledColor(EngineFixture& f, int s, int r, int c) { return f.volume.filled(s, r, c); }
bool filledDepth(EngineFixture& f, int i, int j, int k) { return f.volume.filled(i, j, k); }
long countDepth(EngineFixture& f) { return f.volume.count(); }

// Two unused vertices frame the cube (0,0,0)-(1,1,1); a tiny triangle sits
// in the (+x, +y, +z) corner cell.
const char* kCornerTriangle =
    "v 0 0 0\nv 1 1 1\n"
    "v 0.99 0.995 0.99\nv 0.995 0.99 0.99\nv 0.99 0.99 0.995\n"
    "f 3 4 5\n";

TEST(ClippingMode, CornerTriangleLandsInOneVoxelFromEveryPass) {
    KUBELMAR_REQUIRE_GL();
    for (int n : {N, 66}) {  // 66: rows not a multiple of the read-back's stride
        EngineFixture f(n, VoxelMode::Clipping);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(kCornerTriangle));
        ASSERT_TRUE(f.run().ok);
        int filled = 0;
        for (int s = 0; s < n; ++s)
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) filled += filledColor(f, s, r, c);
        EXPECT_EQ(filled, 1) << "N=" << n;
        EXPECT_TRUE(filledColor(f, 0, n - 1, n - 1)) << "N=" << n;
    }
}

TEST(ClippingMode, BoxGivesAClosedShellIncludingFacesOnTheCube) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(N, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
    const VoxelizeResult result = f.run();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.filesWritten, N + 1);  // slices and voxelscale.txt
    // Top and bottom faces lie exactly on the cube: the outermost slabs take them in.
    for (int s : {0, N - 1})
        for (int r = 0; r < N; ++r)
            for (int c = 0; c < N; ++c) ASSERT_TRUE(filledColor(f, s, r, c)) << s << ' ' << r << ' ' << c;
    // A middle layer is a ring: walls filled, inside empty.
    int ring = 0;
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) ring += filledColor(f, N / 2, r, c);
    EXPECT_EQ(ring, 4 * N - 4);
    EXPECT_FALSE(filledColor(f, N / 2, N / 2, N / 2));
    const std::uint8_t* white = colorAt(f, 0, 3, 5);
    EXPECT_EQ(white[0], 255);
    EXPECT_EQ(white[1], 255);
    EXPECT_EQ(white[2], 255);
}

TEST(ClippingMode, FloorAndCeilingOnTheBoxFacesSurviveScaleRounding) {
    KUBELMAR_REQUIRE_GL();
    // y is the longest side; 7.1 does not scale to 2048 exactly in floats.
    const char* obj =
        "v 0 0 0\nv 3 7.1 3\n"
        "v 1 0 1\nv 2 0 1\nv 2 0 2\nv 1 0 2\n"
        "v 1 7.1 1\nv 2 7.1 1\nv 2 7.1 2\nv 1 7.1 2\n"
        "f 3 4 5 6\nf 7 8 9 10\n";
    for (int n : {64, 128}) {
        EngineFixture f(n, VoxelMode::Clipping);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(obj));
        ASSERT_TRUE(f.run().ok);
        auto layerCount = [&](int s) {
            int count = 0;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) count += filledColor(f, s, r, c);
            return count;
        };
        EXPECT_GT(layerCount(0), n * n / 100) << "ceiling lost at N=" << n;
        EXPECT_GT(layerCount(n - 1), n * n / 100) << "floor lost at N=" << n;
        EXPECT_EQ(layerCount(n / 2), 0);
    }
}

TEST(ClippingMode, VertexColoursReachTheVoxelsAndSlices) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(N, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    std::string obj = boxObj(0, 0, 0, 1, 1, 1);
    for (int i = 0; i < 8; ++i) obj += "vc 1 0.5 0\n";
    ASSERT_TRUE(f.load(obj));
    ASSERT_TRUE(f.run().ok);
    const std::uint8_t* v = colorAt(f, 0, 10, 10);
    EXPECT_EQ(v[0], 255);
    EXPECT_NEAR(v[1], 128, 1);
    EXPECT_EQ(v[2], 0);
    int size = 0;
    const auto top = readSlice(f.dir / "slices", 0, &size);
    ASSERT_EQ(size, N);
    const std::uint8_t* p = &top[(10 * N + 10) * 4];
    EXPECT_EQ(p[0], v[0]);
    EXPECT_EQ(p[1], v[1]);
    EXPECT_EQ(p[2], v[2]);
    EXPECT_EQ(p[3], 255);
    const auto middle = readSlice(f.dir / "slices", N / 2);
    const std::uint8_t* empty = &middle[(N / 2 * N + N / 2) * 4];
    EXPECT_EQ(empty[0] | empty[1] | empty[2], 0);
    EXPECT_EQ(empty[3], 255);  // empty voxels are opaque black
}

// A box filling the (+x, +y, -z) octant of the frame (0,0,0)-(1,1,1): each
// mode's index order shows in which corner of the volume it lands.
TEST(BothModes, VolumeAxesRunAsTheSlicesAreRead) {
    KUBELMAR_REQUIRE_GL();
    // Offset the box's vertex numbers past the two frame vertices.
    std::string obj = "v 0 0 0\nv 1 1 1\n";
    std::istringstream box(boxObj(0.5f, 0.5f, 0, 1, 1, 0.5f));
    for (std::string line; std::getline(box, line);) {
        if (line[0] != 'f') {
            obj.append(line).push_back('\n');
            continue;
        }
        std::istringstream corners(line.substr(2));
        obj += "f";
        for (int v; corners >> v;) obj.append(" ").append(std::to_string(v + 2));
        obj.push_back('\n');
    }
    const int q = N / 4, h = 3 * N / 4;

    // Clipping: slice from the top of y, row along +x, column along +z.
    EngineFixture clip(N, VoxelMode::Clipping);
    ASSERT_TRUE(clip.ready);
    ASSERT_TRUE(clip.load(obj));
    ASSERT_TRUE(clip.run().ok);
    EXPECT_TRUE(filledColor(clip, 0, h, q));    // the box's top face
    EXPECT_FALSE(filledColor(clip, 0, q, q));   // -x side
    EXPECT_FALSE(filledColor(clip, 0, h, h));   // +z side
    EXPECT_FALSE(filledColor(clip, N - 1, h, q));  // bottom of the frame

    // Depth: i along z from the smallest, j along y from the top, k along x
    // from the largest.
    EngineFixture depth(N, VoxelMode::DepthBuffer);
    ASSERT_TRUE(depth.ready);
    ASSERT_TRUE(depth.load(obj));
    ASSERT_TRUE(depth.run().ok);
    EXPECT_TRUE(filledDepth(depth, q, q, q));
    EXPECT_FALSE(filledDepth(depth, h, q, q));
    EXPECT_FALSE(filledDepth(depth, q, h, q));
    EXPECT_FALSE(filledDepth(depth, q, q, h));
    EXPECT_NEAR(double(countDepth(depth)) / (long(N) * N * N), 0.125, 0.01);
}

TEST(DepthMode, AxisAlignedCubeFillsTheWholeVolume) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(N, VoxelMode::DepthBuffer);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(-3, -3, -3, 3, 3, 3)));
    ASSERT_TRUE(f.run().ok);
    EXPECT_EQ(countDepth(f), long(N) * N * N);
}

TEST(DepthMode, LongBoxesFillTheirShareAlongEachAxis) {
    KUBELMAR_REQUIRE_GL();
    // Longest side 2 along one axis, 1 along the others: a quarter of the
    // volume, reaching the faces of the cube along the long axis.
    for (int axis = 0; axis < 3; ++axis) {
        float hi[3] = {1, 1, 1};
        hi[axis] = 2;
        EngineFixture f(N, VoxelMode::DepthBuffer);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(boxObj(0, 0, 0, hi[0], hi[1], hi[2])));
        ASSERT_TRUE(f.run().ok);
        const long count = countDepth(f);
        EXPECT_NEAR(double(count) / (long(N) * N * N), 0.25, 0.03) << "axis " << axis;
        // i runs along z, j along y (from the top), k along x (from +x).
        const int end[3][3] = {{N / 2, N / 2, 0}, {N / 2, 0, N / 2}, {0, N / 2, N / 2}};
        EXPECT_TRUE(filledDepth(f, end[axis][0], end[axis][1], end[axis][2])) << "axis " << axis;
        EXPECT_TRUE(filledDepth(f, N - 1 - end[axis][0], N - 1 - end[axis][1], N - 1 - end[axis][2]))
            << "axis " << axis;
    }
}

TEST(BothModes, HollowSphereIsAShellWhenClippedAndSolidFromDepth) {
    KUBELMAR_REQUIRE_GL();
    const int stacks = 24, slices = 32;
    const int outerVertices = (stacks + 1) * slices;
    const std::string obj = sphereObj(0, 0, 0, 1, stacks, slices, 1, false) +
                            sphereObj(0, 0, 0, 0.5f, stacks, slices, 1 + outerVertices, true);
    EngineFixture clip(N, VoxelMode::Clipping);
    ASSERT_TRUE(clip.ready);
    ASSERT_TRUE(clip.load(obj));
    ASSERT_TRUE(clip.run().ok);
    EXPECT_FALSE(filledColor(clip, N / 2, N / 2, N / 2));       // centre of the cavity
    EXPECT_FALSE(filledColor(clip, N / 2, N / 2, N / 2 + 24));  // between the walls
    EXPECT_TRUE(filledColor(clip, N / 2, N / 2, N / 2 + 15));   // inner wall, r = 0.5

    EngineFixture depth(N, VoxelMode::DepthBuffer);
    ASSERT_TRUE(depth.ready);
    ASSERT_TRUE(depth.load(obj));
    ASSERT_TRUE(depth.run().ok);
    EXPECT_TRUE(filledDepth(depth, N / 2, N / 2, N / 2));
    EXPECT_TRUE(filledDepth(depth, N / 2, N / 2, N / 2 + 24));
    EXPECT_FALSE(filledDepth(depth, 2, 2, 2));  // outside the ball, in a corner
    const double share = double(countDepth(depth)) / (long(N) * N * N);
    EXPECT_NEAR(share, 3.14159265 / 6, 0.05);  // a ball in its cube
}

TEST(DepthMode, SlicesAreOccupancyPixelsAndRunsRepeatExactly) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(N, VoxelMode::DepthBuffer);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(sphereObj(0, 0, 0, 1, 16, 24, 1, false)));
    ASSERT_TRUE(f.run().ok);
    std::vector<std::vector<std::uint8_t>> first;
    for (int s = 0; s < N; ++s) first.push_back(readSlice(f.dir / "slices", s));
    for (const auto& slice : first) {
        ASSERT_EQ(slice.size(), std::size_t(N) * N * 4);
        for (std::size_t p = 0; p < slice.size(); p += 4) {
            const bool white = slice[p] == 255 && slice[p + 1] == 255 && slice[p + 2] == 255 && slice[p + 3] == 255;
            const bool clear = (slice[p] | slice[p + 1] | slice[p + 2] | slice[p + 3]) == 0;
            ASSERT_TRUE(white || clear);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir / "slices" / "voxelscale.txt"));
    ASSERT_TRUE(f.run().ok);
    for (int s = 0; s < N; ++s) ASSERT_EQ(readSlice(f.dir / "slices", s), first[s]) << "slice " << s;
}

TEST(BothModes, AnUnwritableDirectoryFailsNamingTheFirstFile) {
    KUBELMAR_REQUIRE_GL();
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::DepthBuffer}) {
        EngineFixture f(N, mode);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
        NullProgress none;
        PngStackWriter stack((f.dir / "missing").string());
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        const VoxelizeResult result = f.engine.voxelize(f.settings, stack, none);
        const std::string printed = testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.filesWritten, 0);
        EXPECT_NE(result.error.file.find("missing/slice100000.png"), std::string::npos) << result.error.text();
        EXPECT_EQ(printed, "");  // the front end prints the failure, once
    }
}

}  // namespace
}  // namespace kubelmar::test
