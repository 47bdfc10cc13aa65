#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/support/test_images.h"
#include "gl/mesh_drawer.h"
#include "gl/render_target.h"
#include "tests/support/gl_test_support.h"
#include "mesh/mesh_loader.h"

namespace kubelmar::test {
namespace {

constexpr int kSize = 64;  // render target, pixels

// Texture cells, top image row first: red green blue yellow / magenta cyan
// orange grey. No two alike and no symmetry, so a flip or swap shows.
const std::vector<std::uint32_t> kCells = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF,
                                           0xFF00FFFF, 0x00FFFFFF, 0xFF8000FF, 0x808080FF};

// A 4 x 2 quad (file units) mapping the whole texture, beside a 4 x 2 quad
// of material "flat" (Kd only) below it: framed, the textured quad covers
// view y 0..1024 and the flat one -1024..0.
std::string writeTexturedScene(const std::filesystem::path& dir) {
    writeTestPng((dir / "cells image.png").string(), 32, 16, cellImage(4, 2, 8, kCells));
    writeFile(dir / "scene.mtl",
              "newmtl tex\nKd 0.2 0.4 0.6\nmap_Kd -o 0 0 -s 1 1 cells image.png\n"
              "newmtl flat\nKd 0.2 0.4 0.6\n");
    return writeFile(dir / "scene.obj",
                     "mtllib scene.mtl\n"
                     "v 0 2 0\nv 4 2 0\nv 4 4 0\nv 0 4 0\nv 0 0 0\nv 4 0 0\n"
                     "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                     "usemtl tex\nf 1/1 2/2 3/3\nf 1/1 3/3 4/4\n"
                     "usemtl flat\nf 5 6 2\nf 5 2 1\n");
}

// Renders with the clipping mode's state: orthographic cube, lighting off.
std::vector<std::uint8_t> render(GL_Ext_Loader& loader, const MeshDrawer& drawer,
                                 const std::vector<std::uint32_t>* subset = nullptr) {
    RenderTarget target;
    EXPECT_TRUE(target.create(loader, kSize));
    target.bind();
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -2048, 2048);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    if (subset) drawer.drawIndices(subset->data(), subset->size());
    else drawer.draw();
    std::vector<std::uint8_t> rgba;
    target.readPixels(rgba);
    target.unbind();
    return rgba;
}

// Pixel (column x, window row y: 0 at the bottom) as 0xRRGGBBAA.
std::uint32_t pixel(const std::vector<std::uint8_t>& rgba, int x, int y) {
    const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kSize + x) * 4];
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Saves the picture (top row first) for a look when a check failed.
void saveOnFailure(const std::vector<std::uint8_t>& rgba, const std::string& name) {
    if (!::testing::Test::HasFailure()) return;
    std::vector<std::uint8_t> flipped(rgba.size());
    for (int y = 0; y < kSize; ++y)
        std::copy_n(&rgba[static_cast<std::size_t>(kSize - 1 - y) * kSize * 4], kSize * 4, &flipped[static_cast<std::size_t>(y) * kSize * 4]);
    const std::string path = (std::filesystem::temp_directory_path() / (name + "-actual.png")).string();
    writeTestPng(path, kSize, kSize, flipped);
    std::fprintf(stderr, "picture written to %s\n", path.c_str());
}

TEST(MeshDrawer, TexturedFacesDrawTexelsExactlyAndRightWayUp) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(kSize, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    const std::filesystem::path dir = tempDir("drawer");
    Mesh mesh;
    const MeshLoadResult loaded = loadPreparedMesh(writeTexturedScene(dir), mesh);
    ASSERT_TRUE(loaded.ok) << loaded.errorText();
    ASSERT_TRUE(loaded.warningTexts().empty()) << loaded.warningTexts()[0];

    MeshDrawer drawer;
    EXPECT_TRUE(drawer.upload(f.engine.extensionLoader(), mesh, ColourSource::Auto).empty());
    std::vector<std::uint8_t> rgba = render(f.engine.extensionLoader(), drawer);
    // The textured quad covers window rows 32..63, each texel cell 16 x 16
    // pixels; the image's top row is at the top (v = 1).
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(pixel(rgba, 16 * c + 8, 56), kCells[static_cast<std::size_t>(c)]) << "top row, cell " << c;
        EXPECT_EQ(pixel(rgba, 16 * c + 8, 40), kCells[static_cast<std::size_t>(4 + c)]) << "bottom row, cell " << c;
    }
    // The flat quad shows Kd (0.2, 0.4, 0.6) exactly.
    EXPECT_EQ(pixel(rgba, 20, 12), 0x336699FFu);
    saveOnFailure(rgba, "drawer-auto");

    // A subset in the clipping mode's form: only the second textured face
    // (upper-left triangle) and the first flat one.
    const std::vector<std::uint32_t>& all = drawer.faceIndices();
    const std::vector<std::uint32_t> subset(all.begin() + 3, all.begin() + 9);
    rgba = render(f.engine.extensionLoader(), drawer, &subset);
    EXPECT_EQ(pixel(rgba, 4, 60), kCells[0]);     // inside face 2
    EXPECT_EQ(pixel(rgba, 60, 36), 0x000000FFu);  // face 1 not drawn
    EXPECT_EQ(pixel(rgba, 60, 4), 0x336699FFu);   // face 3 (lower-right)
    saveOnFailure(rgba, "drawer-subset");

    // Colour sources: "material" skips the texture for Kd; "vertex" draws
    // the vertex colours (white here) everywhere.
    drawer.upload(f.engine.extensionLoader(), mesh, ColourSource::Material);
    rgba = render(f.engine.extensionLoader(), drawer);
    EXPECT_EQ(pixel(rgba, 8, 56), 0x336699FFu);
    drawer.upload(f.engine.extensionLoader(), mesh, ColourSource::Vertex);
    rgba = render(f.engine.extensionLoader(), drawer);
    EXPECT_EQ(pixel(rgba, 8, 56), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(rgba, 20, 12), 0xFFFFFFFFu);
    saveOnFailure(rgba, "drawer-vertex");
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(MeshDrawer, TextureBeyondTheGLLimitIsScaledDownWithAWarning) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(kSize, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    // One texel row twice as wide as the GL takes: left half red, right blue.
    const std::vector<Float3> corners = {{-1024, -1024, 0}, {1024, -1024, 0}, {1024, 1024, 0}, {-1024, 1024, 0}};
    Texture wide;
    wide.path = "wide.png";
    wide.width = 2 * maxSize;
    wide.height = 1;
    wide.rgba.resize(static_cast<std::size_t>(wide.width) * 4);
    for (int x = 0; x < wide.width; ++x) {
        std::uint8_t* p = &wide.rgba[static_cast<std::size_t>(x) * 4];
        p[0] = x < maxSize ? 255 : 0;
        p[2] = x < maxSize ? 0 : 255;
        p[3] = 255;
    }
    Material m;
    m.texture = 0;
    Mesh mesh;
    mesh.buildWithMaterials(corners, {}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {0, 1, 2, 0, 2, 3},
                            {0, 1, 2, 0, 2, 3}, {0, 0}, {m}, {wide});
    MeshDrawer drawer;
    const std::vector<std::string> warnings = drawer.upload(f.engine.extensionLoader(), mesh);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("wide.png"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("scaled down"), std::string::npos) << warnings[0];
    const std::vector<std::uint8_t> rgba = render(f.engine.extensionLoader(), drawer);
    EXPECT_EQ(pixel(rgba, 8, 32), 0xFF0000FFu);
    EXPECT_EQ(pixel(rgba, 56, 32), 0x0000FFFFu);
}

// A unit cube whose six faces each map one cell of a 3 x 2 grid texture
// (16 x 16 texels a cell, one texel kept clear of each cell edge).
std::string writeTexturedCube(const std::filesystem::path& dir) {
    // Texel (x, y) of cell k: red 40k + 10 names the face; green and blue
    // step by 5 and 7 per texel, so a blend of two texels is in no texel.
    std::vector<std::uint8_t> rgba(48 * 32 * 4);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * 48 + x) * 4];
            p[0] = static_cast<std::uint8_t>(40 * ((y / 16) * 3 + x / 16) + 10);
            p[1] = static_cast<std::uint8_t>(5 * (x % 16));
            p[2] = static_cast<std::uint8_t>(7 * (y % 16));
            p[3] = 255;
        }
    }
    writeTestPng((dir / "cube.png").string(), 48, 32, rgba);
    writeFile(dir / "cube.mtl", "newmtl skin\nmap_Kd cube.png\n");
    std::ostringstream o;
    o << "mtllib cube.mtl\nusemtl skin\n";
    for (int i = 0; i < 8; ++i) o << "v " << (i & 1) << ' ' << ((i >> 1) & 1) << ' ' << ((i >> 2) & 1) << '\n';
    for (int k = 0; k < 6; ++k) {
        // Cell k spans texels [16 (k % 3), +16) x [16 (k / 3), +16) from the
        // image's top; v counts from the bottom.
        const double u0 = (16 * (k % 3) + 1) / 48.0, u1 = (16 * (k % 3) + 15) / 48.0;
        const double v1 = 1 - (16 * (k / 3) + 1) / 32.0, v0 = 1 - (16 * (k / 3) + 15) / 32.0;
        o << "vt " << u0 << ' ' << v0 << "\nvt " << u1 << ' ' << v0 << "\nvt " << u1 << ' ' << v1 << "\nvt " << u0 << ' ' << v1 << '\n';
    }
    const int quads[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};
    for (int k = 0; k < 6; ++k) {
        o << 'f';
        for (int c = 0; c < 4; ++c) o << ' ' << quads[k][c] << '/' << 4 * k + c + 1;
        o << '\n';
    }
    return o.str();
}

TEST(MeshDrawer, ClippingModeShellCarriesOnlyTexelColoursOnEveryFace) {
    KUBELMAR_REQUIRE_GL();
    constexpr int n = 16;
    EngineFixture f(n, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(writeTexturedCube(f.dir)));
    ASSERT_TRUE(f.run().ok);
    int perFace[6] = {0, 0, 0, 0, 0, 0};
    int strangers = 0;
    for (int s = 0; s < n; ++s) {
        const std::vector<std::uint8_t> slice = readSlice(f.dir / "slices", s);
        ASSERT_EQ(slice.size(), static_cast<std::size_t>(n * n * 4));
        for (std::size_t i = 0; i < slice.size(); i += 4) {
            const int r = slice[i], g = slice[i + 1], b = slice[i + 2];
            if (r == 0 && g == 0 && b == 0) continue;  // empty
            const bool texel = r >= 10 && (r - 10) % 40 == 0 && r <= 210 && g % 5 == 0 && g <= 75 && b % 7 == 0 && b <= 105;
            if (!texel) ++strangers;
            else ++perFace[(r - 10) / 40];
        }
    }
    EXPECT_EQ(strangers, 0);  // no blended or invented colour anywhere
    // Every face shows its own cell on at least its inner (n-2)^2 voxels.
    for (int k = 0; k < 6; ++k) {
        EXPECT_GE(perFace[k], (n - 2) * (n - 2)) << "face " << k;
        EXPECT_LE(perFace[k], n * n) << "face " << k;
    }
}

}  // namespace
}  // namespace kubelmar::test
