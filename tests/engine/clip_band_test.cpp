// The clipping mode drawn a band of slabs at a time against slab by slab:
// every voxel of every slice must come out the same, colour included.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "tests/support/gl_test_support.h"
#include "tests/support/test_images.h"

namespace kubelmar::test {
namespace {

// Every slice of a run, kept whole.
class Stack final : public SliceConsumer {
public:
    WriteResult begin(const VolumeInfo& info) override {
        n_ = static_cast<std::size_t>(info.size);
        bytes.assign(n_ * n_ * n_ * 4, 0);
        return {};
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        std::memcpy(&bytes[static_cast<std::size_t>(s) * n_ * n_ * 4], rgba, n_ * n_ * 4);
        return {};
    }
    WriteResult end() override { return {}; }
    std::vector<std::uint8_t> bytes;

private:
    std::size_t n_ = 0;
};

// Adds a colour to every "v" line that varies from vertex to vertex, so
// that interpolation shows in the voxels.
std::string coloured(const std::string& obj) {
    std::istringstream in(obj);
    std::string out, line;
    int i = 0;
    while (std::getline(in, line)) {
        out += line;
        if (line.rfind("v ", 0) == 0) {
            ++i;
            out += " " + std::to_string(0.1 + 0.8 * std::fabs(std::sin(1.3 * i))) + " " +
                   std::to_string(0.1 + 0.8 * std::fabs(std::cos(0.7 * i))) + " " +
                   std::to_string(0.2 + 0.7 * std::fabs(std::sin(0.31 * i + 1)));
        }
        out += "\n";
    }
    return out;
}

// Boxes whose faces lie exactly on slab boundaries at N = 64 (the frame is
// 64 units, one unit a voxel), beside a tilted one.
std::string gridAlignedBoxes() {
    return boxObj(0, 0, 0, 64, 2, 3) + boxObj(10, 2, 5, 17, 40, 21) + boxObj(30, 12, 30, 55, 13, 64);
}

std::string tiltedTriangles() {
    std::ostringstream o;
    o << "v 0 0 0\nv 64 64 64\n";  // frame the cube
    for (int k = 0; k < 40; ++k) {
        const double a = 0.37 * k, r = 20 + (k % 7);
        o << "v " << 32 + r * std::cos(a) << ' ' << 32 + 0.9 * k - 18 << ' ' << 32 + r * std::sin(a) << '\n';
    }
    for (int k = 0; k + 2 < 40; ++k) o << "f " << k + 3 << ' ' << k + 4 << ' ' << k + 5 << '\n';
    return o.str();
}

// A tilted quad textured with a 16 x 16 image of distinct texels.
std::string texturedQuad(const std::filesystem::path& dir) {
    std::vector<std::uint8_t> rgba(16 * 16 * 4);
    for (int i = 0; i < 256; ++i) {
        rgba[4 * i] = static_cast<std::uint8_t>(16 * (i % 16) + 7);
        rgba[4 * i + 1] = static_cast<std::uint8_t>(16 * (i / 16) + 3);
        rgba[4 * i + 2] = static_cast<std::uint8_t>(97 * i);
        rgba[4 * i + 3] = 255;
    }
    writeTestPng((dir / "cells.png").string(), 16, 16, rgba);
    writeFile(dir / "cells.mtl", "newmtl cells\nmap_Kd cells.png\n");
    return "mtllib cells.mtl\nusemtl cells\n"
           "v 0.1 0.2 0.3\nv 2.9 0.7 0.5\nv 2.6 2.8 1.9\nv 0.3 2.2 2.7\n"
           "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
           "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n";
}

struct Voxelized {
    std::vector<std::uint8_t> bytes;
    int bandSlabs = 0;
};

// Bands on every GL that can draw them unless `anyGL` is false.
Voxelized voxelize(EngineFixture& f, int n, bool bands, bool anyGL = true) {
    f.settings.size = n;
    f.engine.clipVoxelizer().setBandsEnabled(bands, anyGL);
    Stack stack;
    NullProgress none;
    Voxelized run;
    if (!f.engine.voxelize(f.settings, stack, none).ok) return run;
    run.bytes = std::move(stack.bytes);
    run.bandSlabs = f.engine.clipVoxelizer().bandStats().bandSlabs;
    return run;
}

// Runs slab by slab and in bands: the same voxels, colours included.
void expectSameBothWays(EngineFixture& f, int n, const std::string& what) {
    const Voxelized slabs = voxelize(f, n, false);
    const Voxelized bands = voxelize(f, n, true);
    ASSERT_FALSE(slabs.bytes.empty()) << what;
    ASSERT_EQ(slabs.bytes.size(), bands.bytes.size()) << what;
    EXPECT_EQ(slabs.bandSlabs, 0) << what;
    long differing = 0, filled = 0;
    for (std::size_t i = 0; i < slabs.bytes.size(); i += 4) {
        differing += std::memcmp(&slabs.bytes[i], &bands.bytes[i], 4) != 0;
        filled += (slabs.bytes[i] | slabs.bytes[i + 1] | slabs.bytes[i + 2]) != 0;
    }
    EXPECT_GT(filled, 0) << what;
    EXPECT_EQ(differing, 0) << what << " N=" << n;
    if (LayeredTarget::supported(f.engine.extensionLoader())) {
        EXPECT_GT(bands.bandSlabs, 0) << what;
    }
}

TEST(ClipBands, SameVoxelsAsSlabBySlab) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    const std::pair<const char*, std::string> meshes[] = {
        {"sphere", coloured(sphereObj(0.2f, 0.1f, -0.3f, 1.0f, 23, 31, 0, false))},
        {"grid-aligned boxes", coloured(gridAlignedBoxes())},
        {"tilted strip", coloured(tiltedTriangles())},
    };
    for (const auto& [name, obj] : meshes) {
        ASSERT_TRUE(f.load(obj)) << name;
        // 96 and 47: sizes that are no power of two; 64 puts the boxes'
        // faces on slab boundaries.
        for (int n : {64, 96, 47, 128}) expectSameBothWays(f, n, name);
    }
}

TEST(ClipBands, BoxGridsSameAsSlabBySlab) {
    // Box grids stretch the mesh into the frame and draw pictures that are
    // not square: the mesh's box, and voxels longer along one axis.
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(coloured(gridAlignedBoxes())));
    f.settings.grid.shape = GridShape::Box;
    for (int n : {64, 90}) expectSameBothWays(f, n, "box grid");
    ASSERT_TRUE(f.load(coloured(sphereObj(0.2f, 0.1f, -0.3f, 1.0f, 23, 31, 0, false))));
    f.settings.grid.edge = {0.03, 0.05, 0.04};
    expectSameBothWays(f, 64, "anisotropic voxels");
}

TEST(ClipBands, TexturedFacesSameAsSlabBySlab) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(texturedQuad(f.dir)));
    for (int n : {64, 100}) expectSameBothWays(f, n, "textured quad");
}

TEST(ClipBands, BandsAreUsedWhereTheGLHasThem) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(32, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(coloured(sphereObj(0, 0, 0, 1.0f, 9, 13, 0, false))));
    const Voxelized bands = voxelize(f, 32, true);
    ASSERT_FALSE(bands.bytes.empty());
    GL_Ext_Loader& loader = f.engine.extensionLoader();
    if (!LayeredTarget::supported(loader)) GTEST_SKIP() << "no layered targets on this GL";
    // By default only where they are proven.
    const Voxelized byDefault = voxelize(f, 32, true, false);
    if (SlabBand::provenOnThisGL()) EXPECT_EQ(byDefault.bandSlabs, bands.bandSlabs);
    else EXPECT_EQ(byDefault.bandSlabs, 0);
    // A sphere reaches every slab but the outermost ones of each pass.
    EXPECT_GE(bands.bandSlabs, 3 * (32 - 2));
}

}  // namespace
}  // namespace kubelmar::test
