// Palette files and the print options: what is accepted, and one clear line
// for each way a palette can be wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "colour/colour_space.h"
#include "colour/palette_file.h"
#include "colour/print_options.h"

namespace kubelmar {
namespace {

std::string writeTemp(const std::string& name, const std::string& text) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kubelmar-palette-test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path) << text;
    return path;
}

TEST(Palette, BuiltInsAreCmykWhiteClearAndRgbWhiteBlack) {
    MaterialPalette cmyk, rgb;
    ASSERT_TRUE(loadPalette("cmyk", cmyk, nullptr));
    ASSERT_TRUE(loadPalette("rgb", rgb, nullptr));
    ASSERT_EQ(cmyk.materials.size(), 6u);
    for (const char* name : {"cyan", "magenta", "yellow", "black", "white"}) {
        ASSERT_GE(cmyk.find(name), 0) << name;
        EXPECT_FALSE(cmyk.materials[cmyk.find(name)].clear) << name;
    }
    EXPECT_EQ(cmyk.clearMaterial(), cmyk.find("clear"));
    ASSERT_EQ(rgb.materials.size(), 5u);
    EXPECT_EQ(rgb.clearMaterial(), -1);
    EXPECT_EQ(rgb.materials[rgb.find("white")].srgb, (std::array<std::uint8_t, 3>{255, 255, 255}));
}

TEST(Palette, AFileWithCommentsAndAClearMaterialLoads) {
    const std::string path = writeTemp("good.json", R"(// two resins
        {"materials": [{"name": "red", "srgb": [200, 10, 0]}, {"name": "glass", "srgb": null}]})");
    MaterialPalette palette;
    std::string error;
    ASSERT_TRUE(loadPalette(path, palette, &error)) << error;
    EXPECT_EQ(palette.name, path);
    ASSERT_EQ(palette.materials.size(), 2u);
    EXPECT_EQ(palette.materials[0].srgb, (std::array<std::uint8_t, 3>{200, 10, 0}));
    EXPECT_TRUE(palette.materials[1].clear);
}

TEST(Palette, EachFaultIsOneLineNamingTheFile) {
    std::string many = R"({"materials": [)";
    for (int m = 0; m < 256; ++m) many += std::string(m ? "," : "") + R"({"name": "m)" + std::to_string(m) + R"(", "srgb": [1, 2, 3]})";
    many += "]}";
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"bad.json", R"({"materials": [)", "not valid JSON"},
        {"none.json", R"({"materials": []})", "no materials"},
        {"nolist.json", R"({"colours": []})", "no \"materials\""},
        {"range.json", R"({"materials": [{"name": "a", "srgb": [0, 256, 0]}]})", "256 is not an integer 0..255"},
        {"negative.json", R"({"materials": [{"name": "a", "srgb": [-1, 0, 0]}]})", "not an integer 0..255"},
        {"fraction.json", R"({"materials": [{"name": "a", "srgb": [0.5, 0, 0]}]})", "not an integer 0..255"},
        {"short.json", R"({"materials": [{"name": "a", "srgb": [1, 2]}]})", "three numbers"},
        {"unnamed.json", R"({"materials": [{"srgb": [1, 2, 3]}]})", "material 1 has no name"},
        {"twice.json", R"({"materials": [{"name": "a", "srgb": [1, 2, 3]}, {"name": "a", "srgb": null}]})",
         "two materials are called \"a\""},
        {"slash.json", R"({"materials": [{"name": "../up", "srgb": [1, 2, 3]}]})", "names the material's folder"},
        {"clear.json", R"({"materials": [{"name": "a", "srgb": null}]})", "every material is clear"},
        {"many.json", many, "256 materials: at most 255"},
    };
    for (const auto& c : cases) {
        const std::string path = writeTemp(c.name, c.text);
        MaterialPalette palette;
        std::string error;
        EXPECT_FALSE(loadPalette(path, palette, &error)) << c.name;
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(palette.empty()) << c.name;  // left as it was
    }
    MaterialPalette palette;
    std::string error;
    EXPECT_FALSE(loadPalette("/nonexistent/p.json", palette, &error));
    EXPECT_EQ(error, "/nonexistent/p.json: can't open the palette file");
    EXPECT_FALSE(loadPalette("cmky", palette, &error));
    EXPECT_NE(error.find("cmky: no such palette (built in: cmyk, rgb)"), std::string::npos) << error;
}

TEST(PrintOptions, ContradictionsAreRefusedBeforeAnyRun) {
    PrintSettings settings;
    std::string error;
    auto refused = [&](PrintOptions options, VoxelMode mode, const char* reason) {
        error.clear();
        EXPECT_FALSE(resolvePrintOptions(options, mode, settings, &error)) << reason;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    };
    refused({"", "diffusion", "", ""}, VoxelMode::Parity, "needs a --palette");
    refused({"cmyk", "ordered", "", ""}, VoxelMode::Parity, "is not none, diffusion or blue-noise");
    refused({"cmyk", "", "3", ""}, VoxelMode::Clipping, "no inside");
    refused({"cmyk", "", "-1", ""}, VoxelMode::Parity, "is not a depth >= 0");
    refused({"cmyk", "", "3mm", ""}, VoxelMode::Parity, "is not a depth >= 0");
    refused({"rgb", "", "3", "clear"}, VoxelMode::Parity, "has no clear material");
    refused({"rgb", "", "3", "cyan"}, VoxelMode::Parity, "no material of that name");
    refused({"", "", "3", "black"}, VoxelMode::Parity, "needs a --palette");

    ASSERT_TRUE(resolvePrintOptions({"cmyk", "blue-noise", "2.5", "clear"}, VoxelMode::DepthBuffer, settings, &error))
        << error;
    EXPECT_EQ(settings.dither, DitherMode::BlueNoise);
    EXPECT_EQ(*settings.colourDepth, 2.5);
    EXPECT_EQ(coreMaterial(settings, nullptr), settings.palette.clearMaterial());
    // Without a core colour: the palette's white, else its lightest material.
    ASSERT_TRUE(resolvePrintOptions({"cmyk", "", "", ""}, VoxelMode::Clipping, settings, &error));
    EXPECT_EQ(coreMaterial(settings, nullptr), settings.palette.find("white"));
    const std::string noWhite = writeTemp("nowhite.json", R"({"materials": [{"name": "ink", "srgb": [10, 10, 10]},
        {"name": "cream", "srgb": [250, 240, 200]}, {"name": "gel", "srgb": null}]})");
    ASSERT_TRUE(resolvePrintOptions({noWhite, "", "", ""}, VoxelMode::Parity, settings, &error));
    EXPECT_EQ(coreMaterial(settings, nullptr), 1);
    EXPECT_FALSE(PrintSettings{}.active());
}

// Sharma, Wu and Dalal's published pairs: the measure the fidelity tests use.
TEST(ColourSpace, DeltaE2000MatchesThePublishedPairs) {
    EXPECT_NEAR(deltaE2000({50, 2.6772, -79.7751}, {50, 0, -82.7485}), 2.0425, 1e-4);
    EXPECT_NEAR(deltaE2000({50, 2.5, 0}, {73, 25, -18}), 27.1492, 1e-4);
    EXPECT_NEAR(deltaE2000({60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}), 1.2644, 1e-4);
    EXPECT_NEAR(deltaE2000({2.0776, 0.0795, -1.135}, {0.9033, -0.0636, -0.5514}), 0.9082, 1e-4);
    for (int v : {0, 1, 10, 128, 254, 255}) EXPECT_EQ(linearToSrgb(srgbToLinear(static_cast<std::uint8_t>(v))), v);
}

}  // namespace
}  // namespace kubelmar
