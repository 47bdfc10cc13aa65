// Textures decoded in a child process: a decoder fault costs its image only.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/obj_materials.h"
#include "mesh/obj_reader.h"
#include "mesh/texture_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_images.h"

namespace kubelmar {
namespace {

using test::cellImage;

LoadLimits quickLimits() {
    LoadLimits limits;
    limits.maxMemoryBytes = std::uint64_t{256} << 20;
    limits.maxReadSeconds = 1;
    return limits;
}

std::uint64_t pixelHash(const Texture& t) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a over size and texels
    auto mix = [&](std::uint8_t b) { h = (h ^ b) * 1099511628211ull; };
    for (const int v : {t.width, t.height})
        for (int shift = 0; shift < 32; shift += 8) mix(static_cast<std::uint8_t>(v >> shift));
    for (const std::uint8_t b : t.rgba) mix(b);
    return h;
}

// loadTextureFile, except on files whose name contains `fault`, where it
// does what `fail` does.
TextureFileDecoder failingOn(const std::string& fault, void (*fail)()) {
    return [fault, fail](const std::string& path, long long budget) {
        if (path.find(fault) != std::string::npos) fail();
        return loadTextureFile(path, budget);
    };
}

// Three images of 8 x 4, 16 x 8 and 4 x 4 pixels.
std::vector<std::string> threeImages(const test::TempDir& dir) {
    return {test::writeTestPng(dir.file("a.png"), 8, 4, cellImage(2, 1, 4, {0xFF0000FF, 0x00FF00FF})),
            test::writeTestJpeg(dir.file("b.jpg"), 16, 8, cellImage(2, 1, 8, {0x0000FFFF, 0xFFFFFFFF})),
            test::writeTestPng(dir.file("c.png"), 4, 4, cellImage(1, 1, 4, {0x808080FF}))};
}

TEST(TextureFiles, IsolatedImagesAreThoseDecodedInProcess) {
    test::TempDir dir;
    const std::vector<std::string> paths = threeImages(dir);
    LoadLimits inProcess = quickLimits();
    inProcess.isolateThirdPartyReaders = false;
    // The budget holds the first two only: the third is refused alike.
    const long long budget = 8 * 4 + 16 * 8;
    const auto direct = loadTextureFiles(paths, budget, inProcess);
    const auto isolated = loadTextureFiles(paths, budget, quickLimits());
    ASSERT_EQ(isolated.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(isolated[i].ok) << isolated[i].reason;
        EXPECT_EQ(isolated[i].texture.path, paths[i]);
        EXPECT_EQ(pixelHash(isolated[i].texture), pixelHash(direct[i].texture)) << paths[i];
    }
    EXPECT_FALSE(isolated[2].ok);
    EXPECT_EQ(isolated[2].reason, direct[2].reason);
    EXPECT_NE(isolated[2].reason.find("more than the 0 allowed"), std::string::npos) << isolated[2].reason;
}

TEST(TextureFiles, ADecoderThatCrashesOrHangsCostsItsImages) {
    test::TempDir dir;
    const std::vector<std::string> paths = threeImages(dir);
    {
        // A crash on the second image: the first came back before it, the
        // third from a fresh child with what the first left of the budget.
        const auto r = loadTextureFiles(paths, 8 * 4 + 4 * 4, quickLimits(), failingOn("b.jpg", [] { std::raise(SIGSEGV); }));
        EXPECT_TRUE(r[0].ok && r[2].ok) << r[0].reason << r[2].reason;
        EXPECT_FALSE(r[1].ok);
        EXPECT_EQ(r[1].reason.rfind("the image decoder failed (it stopped with ", 0), 0u) << r[1].reason;
        EXPECT_EQ(pixelHash(r[2].texture), pixelHash(loadTextureFile(paths[2]).texture));
        const auto over = loadTextureFiles(paths, 8 * 4 + 4 * 4 - 1, quickLimits(), failingOn("b.jpg", [] { std::abort(); }));
        EXPECT_FALSE(over[2].ok) << "the second child starts from the budget the first left";
    }
    {
        // A hang: the mesh's time is up for the image it hangs on and the rest.
        const auto r = loadTextureFiles(paths, 1LL << 20, quickLimits(), failingOn("b.jpg", [] { for (;;) pause(); }));
        EXPECT_TRUE(r[0].ok);
        for (std::size_t i : {1u, 2u})
            EXPECT_EQ(r[i].reason, "the image decoder was stopped: the mesh's textures took more than 1 seconds") << i;
    }
}

TEST(TextureFiles, AMaterialWhoseTextureCrashesTheDecoderFallsBackWithOneWarning) {
    test::TempDir dir;
    threeImages(dir);
    const std::string mtl = dir.write("m.mtl", "newmtl good\nmap_Kd a.png\nnewmtl bad\nKd 0 1 0\nmap_Kd b.jpg\n");
    const std::string obj = dir.file("m.obj");
    std::vector<Material> materials;
    std::vector<Texture> textures;
    Diagnostics warnings;
    const std::vector<int> slots =
        loadObjMaterials(obj, {{"m.mtl", 1}}, {{"good", 3}, {"bad", 5}}, materials, textures, warnings,
                         ReferenceRoot(obj, quickLimits()), quickLimits(), failingOn("b.jpg", [] { std::raise(SIGSEGV); }));
    ASSERT_EQ(warnings.size(), 1u);
    const std::string w = warnings[0].text();
    EXPECT_EQ(w.rfind(mtl + ":5: texture " + dir.file("b.jpg") + ": the image decoder failed (", 0), 0u) << w;
    // As a missing texture: the material keeps its Kd, without a texture.
    ASSERT_EQ(slots, (std::vector<int>{0, 1}));
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(materials[0].texture, 0);
    EXPECT_EQ(materials[1].texture, -1);
    EXPECT_TRUE(materials[1].hasDiffuse);
}

TEST(TextureFiles, AnObjLoadsTheSameTexturesWithOrWithoutTheChild) {
    test::TempDir dir;
    threeImages(dir);
    dir.write("m.mtl", "newmtl a\nmap_Kd a.png\nnewmtl b\nmap_Kd b.jpg\n");
    const std::string obj = dir.write("m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                                               "usemtl a\nf 1/1 2/2 3/3\nusemtl b\nf 1/1 2/2 3/3\n");
    LoadLimits inProcess;
    inProcess.isolateThirdPartyReaders = false;
    Mesh direct, isolated;
    ASSERT_TRUE(readOBJ(direct, obj, inProcess).ok);
    const ObjReadResult r = readOBJ(isolated, obj);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(isolated.textures.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(pixelHash(isolated.textures[i]), pixelHash(direct.textures[i])) << isolated.textures[i].path;
}

}  // namespace
}  // namespace kubelmar
