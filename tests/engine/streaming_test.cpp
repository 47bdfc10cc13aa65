// What the streaming engine must keep: one-voxel slabs, no state carried from
// one mesh to the next, any size from 1 to the GL's limit, the stack axes it
// reports, pictures that can't be written, and exact full-precision depth.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

// Counts filled voxels of every stride-th slice without keeping or writing
// anything: for large N.
class CountingConsumer final : public SliceConsumer {
public:
    explicit CountingConsumer(int stride) : stride_(stride) {}
    WriteResult begin(const VolumeInfo& info) override {
        info_ = info;
        return {};
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        EXPECT_EQ(s, slices_);
        ++slices_;
        if (s % stride_ != 0) return {};
        const std::size_t pixels = info_.slicePixels();
        for (std::size_t p = 0; p < pixels; ++p) filled_ += voxelFilled(rgba + 4 * p, info_.encoding);
        return {};
    }
    WriteResult end() override { return {}; }
    long filled_ = 0;
    int slices_ = 0;
    int stride_ = 1;
    VolumeInfo info_;
};

TEST(Streaming, ABoxShellIsOneVoxelThickOnEveryFace) {
    KUBELMAR_REQUIRE_GL();
    const int n = 48;
    EngineFixture f(n, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
    ASSERT_TRUE(f.run().ok);
    // Top and bottom slices full; every slice between them a ring of walls
    // one voxel thick: a slab that kept the layer below it would fill more.
    for (int s = 0; s < n; ++s) {
        long count = 0;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) count += f.volume.filled(s, r, c);
        EXPECT_EQ(count, (s == 0 || s == n - 1) ? long(n) * n : 4L * n - 4) << "slice " << s;
    }
    for (int s = 1; s < n - 1; ++s)
        for (int t = 1; t < n - 1; ++t) {
            ASSERT_TRUE(f.volume.filled(s, 0, t) && f.volume.filled(s, n - 1, t));
            ASSERT_TRUE(f.volume.filled(s, t, 0) && f.volume.filled(s, t, n - 1));
            ASSERT_FALSE(f.volume.filled(s, 1, t) || f.volume.filled(s, t, 1)) << s << " " << t;
        }
}

TEST(Streaming, NothingOfOneMeshReachesTheNextOne) {
    KUBELMAR_REQUIRE_GL();
    const std::string first = sphereObj(0, 0, 0, 1, 12, 16, 1, false);
    const std::string second = boxObj(0, 0, 0, 3, 1, 2);
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::DepthBuffer}) {
        EngineFixture fresh(40, mode), reused(40, mode);
        ASSERT_TRUE(fresh.ready && reused.ready);
        ASSERT_TRUE(fresh.load(second));
        ASSERT_TRUE(fresh.run().ok);
        ASSERT_TRUE(reused.load(first));
        ASSERT_TRUE(reused.run().ok);
        ASSERT_TRUE(reused.load(second));
        ASSERT_TRUE(reused.run().ok);
        long differ = 0;
        for (int s = 0; s < 40; ++s)
            for (int r = 0; r < 40; ++r)
                for (int c = 0; c < 40; ++c)
                    differ += std::memcmp(fresh.volume.at(s, r, c), reused.volume.at(s, r, c), 4) != 0;
        EXPECT_EQ(differ, 0) << "mode " << mode;
        EXPECT_GT(fresh.volume.count(), 0);
    }
}

TEST(Streaming, AnySizeFromOneToTheLimitGivesNSlices) {
    KUBELMAR_REQUIRE_GL();
    // A tilted tetrahedron, and for 2048 a flat triangle, whose slabs read
    // back a few rows each.
    const std::string tetrahedron =
        "v 0 0 0\nv 1 0.2 0.1\nv 0.3 1 0.2\nv 0.2 0.3 0.9\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\n";
    const std::string flat = "v 0 0 0\nv 1 0.1 0\nv 0.2 1 0\nf 1 2 3\n";
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::DepthBuffer}) {
        for (int n : {1, 2, 37, 100, 2048}) {
            EngineFixture f(1, mode);
            ASSERT_TRUE(f.ready);
            ASSERT_TRUE(f.load(n > 100 ? flat : tetrahedron));
            f.settings.size = n;
            CountingConsumer counter(n > 100 ? 64 : 1);
            NullProgress none;
            const VoxelizeResult result = f.engine.voxelize(f.settings, counter, none);
            ASSERT_TRUE(result.ok) << result.error;
            EXPECT_EQ(counter.slices_, n);
            // At N = 2 the depth mode's index bounds, i / (N - 1) of the way
            // through the pictures' depth range, leave nothing of a thin shape.
            if (mode == VoxelMode::Clipping || (n != 2 && n <= 100)) {
                EXPECT_GT(counter.filled_, 0) << "mode " << mode << " N=" << n;
            }
        }
    }
}

// Maps a stack voxel through the reported axes to its index along +x, +y, +z.
std::array<int, 3> meshIndex(const VolumeInfo& info, int s, int r, int c) {
    std::array<int, 3> index{};
    for (const auto& [axis, value] : {std::pair{info.sliceAxis, s}, {info.rowAxis, r}, {info.columnAxis, c}})
        index[axis.axis] = axis.sign > 0 ? value : info.dims[axis.axis] - 1 - value;
    return index;
}

TEST(Streaming, ReportedStackAxesPlaceEveryVoxelInsideTheMesh) {
    KUBELMAR_REQUIRE_GL();
    // An L of two boxes in the frame (0,0,0)-(4,4,4): no mirror or axis swap
    // maps it onto itself.
    const std::string obj = "v 0 0 0\nv 4 4 4\n";
    std::string boxes;
    int base = 2;
    for (const auto& b : {std::array<float, 6>{0.5f, 0.5f, 0.5f, 3.5f, 1.5f, 1.5f},
                          std::array<float, 6>{0.5f, 1.5f, 0.5f, 1.5f, 3.5f, 2.5f}}) {
        std::istringstream in(boxObj(b[0], b[1], b[2], b[3], b[4], b[5]));
        for (std::string line; std::getline(in, line);) {
            if (line[0] == 'v') {
                boxes += line + "\n";
                continue;
            }
            std::istringstream corners(line.substr(2));
            boxes += "f";
            for (int v; corners >> v;) boxes += " " + std::to_string(v + base);
            boxes += "\n";
        }
        base += 8;
    }
    const int n = 32;  // 8 voxels per unit
    auto inside = [](double x, double y, double z) {
        const bool a = x > 0.5 && x < 3.5 && y > 0.5 && y < 1.5 && z > 0.5 && z < 1.5;
        const bool b = x > 0.5 && x < 1.5 && y > 1.5 && y < 3.5 && z > 0.5 && z < 2.5;
        return a || b;
    };
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::DepthBuffer}) {
        EngineFixture f(n, mode);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(obj + boxes));
        ASSERT_TRUE(f.run().ok);
        const VolumeInfo& info = f.volume.info();
        EXPECT_FLOAT_EQ(info.voxelSize, 4.0f / n);
        long filled = 0, outside = 0;
        for (int s = 0; s < n; ++s)
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    if (!f.volume.filled(s, r, c)) continue;
                    const auto idx = meshIndex(info, s, r, c);
                    // The voxel's centre in file units, widened by a voxel
                    // for the shell, which lies on the faces.
                    const double h = info.voxelSize;
                    const double x = info.origin[0] + (idx[0] + 0.5) * h, y = info.origin[1] + (idx[1] + 0.5) * h,
                                 z = info.origin[2] + (idx[2] + 0.5) * h;
                    bool near = false;
                    for (double dx : {-h, 0.0, h})
                        for (double dy : {-h, 0.0, h})
                            for (double dz : {-h, 0.0, h}) near = near || inside(x + dx, y + dy, z + dz);
                    ++filled;
                    outside += !near;
                }
        EXPECT_GT(filled, 100) << "mode " << mode;
        EXPECT_EQ(outside, 0) << "mode " << mode;
    }
}

TEST(Streaming, ADepthPictureThatCannotBeWrittenFailsTheRunNamingIt) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(32, VoxelMode::DepthBuffer);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
    const auto pictures = f.dir / "images";
    std::filesystem::create_directories(pictures / "RenderYPos.png");  // a folder in the way
    f.settings.depthPictureDirectory = pictures.string();
    const VoxelizeResult result = f.run();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.file.find("RenderYPos.png"), std::string::npos) << result.error.text();
    EXPECT_EQ(result.filesWritten, 2);  // the two pictures before it
    EXPECT_EQ(f.volume.slicesReceived(), 0);
}

// A tilted box, exactly: voxel centres inside the box (prepared frame).
TEST(Streaming, FullDepthPrecisionIsExactToTheVoxel) {
    KUBELMAR_REQUIRE_GL();
    const double pi = 3.14159265358979323846;
    const double a = 25 * pi / 180, b = 40 * pi / 180;
    // Box half sides, rotated about z then y; vertices in file units.
    const double half[3] = {1.0, 0.6, 0.35};
    auto rotate = [&](double x, double y, double z) {
        const double x1 = x * std::cos(a) - y * std::sin(a), y1 = x * std::sin(a) + y * std::cos(a);
        return std::array<double, 3>{x1 * std::cos(b) + z * std::sin(b), y1, -x1 * std::sin(b) + z * std::cos(b)};
    };
    std::ostringstream obj;
    obj.precision(17);
    for (int i = 0; i < 8; ++i) {
        const auto p = rotate((i & 1) ? half[0] : -half[0], (i & 2) ? half[1] : -half[1], (i & 4) ? half[2] : -half[2]);
        obj << "v " << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    }
    obj << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    const int n = 300;  // above 256 the 8-bit pictures step by more than a voxel
    long mismatches[2] = {0, 0}, solid = 0;
    for (int precision = 0; precision < 2; ++precision) {
        EngineFixture f(n, VoxelMode::DepthBuffer);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(obj.str()));
        f.settings.depthPrecision = precision ? DepthPrecision::Full : DepthPrecision::Byte;
        VolumeCapture volume;
        NullProgress none;
        ASSERT_TRUE(f.engine.voxelize(f.settings, volume, none).ok);
        const VolumeInfo& info = volume.info();
        solid = 0;
        for (int s = 0; s < n; ++s)
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    const auto idx = meshIndex(info, s, r, c);
                    double p[3];
                    for (int k = 0; k < 3; ++k) p[k] = info.origin[k] + (idx[k] + 0.5) * info.voxelSize;
                    // Back into the box's own frame: rotate by -b about y, then -a about z.
                    const double x1 = p[0] * std::cos(b) - p[2] * std::sin(b), z1 = p[0] * std::sin(b) + p[2] * std::cos(b);
                    const double x = x1 * std::cos(a) + p[1] * std::sin(a), y = -x1 * std::sin(a) + p[1] * std::cos(a);
                    const bool in = std::abs(x) < half[0] && std::abs(y) < half[1] && std::abs(z1) < half[2];
                    solid += in;
                    mismatches[precision] += in != volume.filled(s, r, c);
                }
    }
    // A tilted box seen from the axes is still filled where its centre is
    // inside: only voxels whose centre lies on the surface may differ.
    EXPECT_GT(solid, 100000);
    EXPECT_LT(mismatches[1], solid / 1000) << "full precision";
    EXPECT_GT(mismatches[0], 10 * mismatches[1]) << "8-bit pictures step by more than a voxel";
}

}  // namespace
}  // namespace kubelmar::test
