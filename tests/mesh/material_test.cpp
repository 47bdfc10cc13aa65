#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/colour_source.h"
#include "mesh/mesh_loader.h"
#include "mesh/mtl_reader.h"
#include "mesh/texture_image.h"
#include "tests/support/test_images.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;
using test::cellImage;
using test::writeTestPng;

// A fresh folder under the system temp directory, removed afterwards.
class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("kubelmar_mtl_" + std::to_string(getpid()) + "_" + std::to_string(counter_++))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return file(name);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

// A PNG whose header declares width x height and that holds nothing else.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::string s = "\x89PNG\r\n\x1a\n";
    s += std::string("\0\0\0\x0dIHDR", 8);
    for (const std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
    s += std::string("\x08\x06\0\0\0", 5);
    s += std::string("\0\0\0\0", 4);  // CRC, not checked for the header
    return s;
}

const char* const kQuad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";

TEST(MtlReader, ColoursMapsAndTheirOptions) {
    const MtlReadResult r = parseMTL(
        "# comment\n"
        "newmtl red paint\n"
        "Kd 1 0 0\n"
        "map_Kd -blendu off -o 0.5 -0.5 -s 2 2 1 -mm 0 1 -clamp on -imfchan r my texture.png \n"
        "newmtl\tgrey\r"
        "Kd 0.5\r"
        "newmtl broken\n"
        "Kd 1 2\n"        // two numbers: neither grey nor a colour
        "Kd nan 0 0\n"
        "map_Kd -s\n"     // an option without numbers, no file
        "map_Kd\n"
        "newmtl overbright\n"
        "Kd 1.5 -0.25 0.25\n",  // clamped into 0..1
        "a.mtl");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.materials.size(), 4u);
    const MtlMaterial& red = r.materials[0];
    EXPECT_EQ(red.material.name, "red paint");
    EXPECT_TRUE(red.material.hasDiffuse);
    EXPECT_EQ(red.material.diffuse[0], 1.0f);
    EXPECT_EQ(red.texturePath, "my texture.png");
    EXPECT_EQ(red.textureLine, 4);
    EXPECT_TRUE(red.material.clampTexture);
    EXPECT_EQ(r.materials[1].material.name, "grey");  // tab separator, lone CR line ends
    EXPECT_EQ(r.materials[1].material.diffuse[2], 0.5f);
    EXPECT_FALSE(r.materials[2].material.hasDiffuse);
    EXPECT_TRUE(r.materials[2].texturePath.empty());
    ASSERT_EQ(r.warnings.size(), 4u);
    EXPECT_EQ(r.warnings[0].file, "a.mtl");
    EXPECT_EQ(r.warnings[0].line, 8);
    EXPECT_EQ(r.warnings[3].line, 11);
    const float* overbright = r.materials[3].material.diffuse;
    EXPECT_EQ(std::vector<float>(overbright, overbright + 3), (std::vector<float>{1.0f, 0.0f, 0.25f}));
    EXPECT_EQ(parseMTL("Kd 1 1 1\n", "b.mtl").warnings.size(), 1u);  // before any newmtl
}

TEST(ObjMaterials, TexturesKdAndFaceGroupsFromSeveralLibraries) {
    TempDir dir;
    // The image's top row (file order) is red/green; bottom row blue/white.
    writeTestPng(dir.file("two by two.png"), 2, 2, cellImage(2, 2, 1, {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF}));
    dir.write("first.mtl", "newmtl textured\nmap_Kd two by two.png\n");
    dir.write("second lib.mtl", "newmtl blue\nKd 0 0 1\n");
    const std::string obj = dir.write("m.obj", std::string("mtllib first.mtl\nmtllib second lib.mtl\n") + kQuad +
                                                  "usemtl textured\nf 1/1 2/2 3/3\n"
                                                  "usemtl blue\nf 1/1/1 3/3/1 4/4/1\n"
                                                  "usemtl\nf 1 2 4\n");
    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(obj, mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    for (const std::string& w : r.warningTexts()) ADD_FAILURE() << w;
    ASSERT_EQ(mesh.textures.size(), 1u);
    const Texture& t = mesh.textures[0];
    ASSERT_EQ(t.width, 2);
    // Kept bottom row first: texel (0, 0) is the file's bottom-left, blue.
    EXPECT_EQ(t.rgba[0], 0);
    EXPECT_EQ(t.rgba[2], 255);
    EXPECT_EQ(t.rgba[8], 255);  // (0, 1): red
    ASSERT_EQ(mesh.faceCount, 3);
    // Faces keep their order; each corner's vertex carries its face's look.
    auto look = [&](int face, int corner) {
        return static_cast<std::size_t>(mesh.faces[static_cast<std::size_t>(face)].index[corner]);
    };
    EXPECT_EQ(vertexTextureFor(mesh, look(0, 2), ColourSource::Auto), 0);
    EXPECT_EQ(mesh.texCoords[look(0, 2)][0], 1.0f);
    EXPECT_EQ(mesh.texCoords[look(0, 2)][1], 1.0f);
    const Rgba blue = vertexColourFor(mesh, look(1, 0), ColourSource::Auto);
    EXPECT_TRUE(blue.r == 0 && blue.g == 0 && blue.b == 1) << blue.r << blue.g << blue.b;
    EXPECT_EQ(vertexTextureFor(mesh, look(1, 0), ColourSource::Auto), -1);
    // A bare "usemtl" goes back to no material: white.
    EXPECT_EQ(vertexColourFor(mesh, look(2, 1), ColourSource::Auto).r, 1.0f);
    // One vertex per (position, coordinate, material): the blue face adds
    // two, the last face three.
    EXPECT_EQ(mesh.vertexCount, 4 + 2 + 3);
    EXPECT_EQ(bestColourSource(mesh), ColourSource::Texture);
    // The same place in every split vertex.
    EXPECT_EQ(mesh.positions[look(0, 0)].x, mesh.positions[look(1, 0)].x);
}

TEST(ObjMaterials, EveryBadMaterialInputWarnsOnceAndLoadingGoesOn) {
    TempDir dir;
    dir.write("not an image.png", "this is text");
    dir.write("empty.png", pngHeaderOnly(0, 0));
    dir.write("bomb.png", pngHeaderOnly(50000, 50000));
    writeTestPng(dir.file("long.png"), 100000, 1, std::vector<std::uint8_t>(400000, 200));
    fs::create_directory(dir.file("folder.png"));
    ASSERT_EQ(mkfifo(dir.file("fifo.png").c_str(), 0600), 0);
    dir.write("m.mtl",
              "newmtl text\nKd 1 0 0\nmap_Kd not an image.png\n"  // 1-3
              "newmtl empty\nmap_Kd empty.png\n"                   // 4-5
              "newmtl bomb\nmap_Kd bomb.png\n"                     // 6-7
              "newmtl missing\nKd 0 1 0\nmap_Kd nowhere.png\n"    // 8-10
              "newmtl fifo\nmap_Kd fifo.png\n"                     // 11-12
              "newmtl folder\nmap_Kd folder.png\n"                 // 13-14
              "newmtl long\nmap_Kd long.png\n");                   // 15-16
    const std::string obj = dir.write(
        "m.obj", std::string("mtllib m.mtl missing.mtl\n") + kQuad +
                     "usemtl text\nf 1/1 2/2 3/3\nusemtl empty\nf 1/1 2/2 3/3\nusemtl bomb\nf 1/1 2/2 3/3\n"
                     "usemtl missing\nf 1/1 2/2 3/3\nusemtl fifo\nf 1/1 2/2 3/3\nusemtl folder\nf 1/1 2/2 3/3\n"
                     "usemtl undefined\nf 1/1 2/2 3/3\n"
                     "usemtl long\nf 1/9 2/2 3/3\nf 1/1 2/2 3/3\n");  // vt 9 does not exist
    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(obj, mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.faceCount, 9);
    std::string all;
    for (const std::string& w : r.warningTexts()) all += w + "\n";
    auto has = [&](const std::string& part) { return all.find(part) != std::string::npos; };
    EXPECT_EQ(r.warningTexts().size(), 9u) << all;
    EXPECT_TRUE(has(obj + ":1: material library " + dir.file("missing.mtl") + ": cannot read")) << all;
    for (const char* line : {":3: texture ", ":5: texture ", ":7: texture ", ":10: texture ", ":12: texture ", ":14: texture "})
        EXPECT_TRUE(has(dir.file("m.mtl") + line)) << line << "\n" << all;
    EXPECT_TRUE(has("not a regular file")) << all;
    EXPECT_TRUE(has("50000 x 50000 pixels, more than")) << all;
    EXPECT_TRUE(has(obj + ":" + std::to_string(9 + 13) + ": material 'undefined' is not defined")) << all;
    EXPECT_TRUE(has(obj + ":25: 1 face names a texture coordinate that does not exist")) << all;
    // The next source takes over: Kd where given, else vertex colour (white).
    EXPECT_EQ(vertexColourFor(mesh, static_cast<std::size_t>(mesh.faces[0].index[0]), ColourSource::Auto).r, 1.0f);
    EXPECT_EQ(vertexColourFor(mesh, static_cast<std::size_t>(mesh.faces[3].index[0]), ColourSource::Auto).g, 1.0f);
    // The long image loaded; the face with the bad index is drawn without it.
    ASSERT_EQ(mesh.textures.size(), 1u);
    EXPECT_EQ(mesh.textures[0].width, 100000);
    EXPECT_EQ(vertexTextureFor(mesh, static_cast<std::size_t>(mesh.faces[7].index[1]), ColourSource::Auto), -1);
    EXPECT_EQ(vertexTextureFor(mesh, static_cast<std::size_t>(mesh.faces[8].index[1]), ColourSource::Auto), 0);
}

TEST(ObjMaterials, FilesWithoutUsableMaterialsKeepThePlainMesh) {
    TempDir dir;
    const std::string body = std::string(kQuad) + "vc 1 0 0\nf 1/1 2/2 3/3\nf 1 3 4\n";
    Mesh plain, named;
    ASSERT_TRUE(loadPreparedMesh(dir.write("plain.obj", body), plain).ok);
    const MeshLoadResult r = loadPreparedMesh(dir.write("named.obj", "usemtl nothing\n" + body), named);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.warningTexts().size(), 1u);  // the undefined material
    EXPECT_TRUE(plain.vertexMaterial.empty() && named.vertexMaterial.empty() && named.textures.empty());
    ASSERT_EQ(named.vertexCount, plain.vertexCount);
    for (int i = 0; i < plain.vertexCount; ++i) {
        EXPECT_EQ(named.positions[i].x, plain.positions[i].x);
        EXPECT_EQ(named.colors[i].r, plain.colors[i].r);
    }
    EXPECT_EQ(bestColourSource(plain), ColourSource::Vertex);
}

TEST(TextureImage, JpegAndNearestResampling) {
    TempDir dir;
    const std::string jpeg = test::writeTestJpeg(dir.file("a.jpg"), 16, 8, cellImage(2, 1, 8, {0xFF0000FF, 0x0000FFFF}));
    const TextureLoadResult r = loadTextureFile(jpeg);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.texture.width, 16);
    EXPECT_GT(r.texture.rgba[0], 200);  // red, give or take JPEG's rounding
    EXPECT_LT(r.texture.rgba[2], 60);
    EXPECT_FALSE(loadTextureFile(dir.file("a.jpg"), 100).ok);  // over a pixel budget

    // Downscaling copies texels: every output texel is one of the inputs.
    Texture ramp;
    ramp.width = 7;
    ramp.height = 1;
    for (int x = 0; x < 7; ++x) ramp.rgba.insert(ramp.rgba.end(), {static_cast<std::uint8_t>(x * 40), 0, 0, 255});
    const Texture half = resampleNearest(ramp, 3, 1);
    EXPECT_EQ(half.rgba[0], 40);  // the input texel under each output centre
    EXPECT_EQ(half.rgba[4], 120);
    EXPECT_EQ(half.rgba[8], 200);
}

TEST(ColourSource, NamesAndTheChain) {
    ColourSource s = ColourSource::Auto;
    EXPECT_TRUE(parseColourSource("material", s));
    EXPECT_EQ(s, ColourSource::Material);
    EXPECT_FALSE(parseColourSource("Texture", s));
    for (const char* name : {"auto", "texture", "material", "vertex"}) {
        ASSERT_TRUE(parseColourSource(name, s));
        EXPECT_STREQ(colourSourceName(s), name);
    }
}

}  // namespace
}  // namespace kubelmar
