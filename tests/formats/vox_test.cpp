// MagicaVoxel files read back by a small chunk reader of the test's own,
// with the scene graph's translations applied; and the colour quantiser.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "formats/colour_quantiser.h"
#include "formats/vox_writer.h"
#include "formats/whole_volume_consumer.h"
#include "test_volume.h"

namespace kubelmar::test {
namespace {

struct VoxScene {
    std::vector<std::array<int, 3>> sizes;
    // Voxels in scene coordinates (model translation applied), rgb from the palette.
    std::map<std::array<int, 3>, Rgb> voxels;
    int transforms = 0, groups = 0, shapes = 0;
};

std::int32_t i32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

VoxScene readVox(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    VoxScene scene;
    EXPECT_EQ(std::memcmp(bytes.data(), "VOX ", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "MAIN", 4), 0);
    EXPECT_EQ(static_cast<std::size_t>(i32(&bytes[16])), bytes.size() - 20);  // MAIN's children
    std::vector<std::vector<std::array<int, 4>>> models;  // x, y, z, colour index
    std::map<int, int> shapeModel;                        // nSHP node -> model
    std::map<int, std::pair<int, std::array<int, 3>>> transforms;  // nTRN node -> child, translation
    std::vector<Rgb> palette(256);
    for (std::size_t p = 20; p + 12 <= bytes.size();) {
        const std::string id(bytes.begin() + p, bytes.begin() + p + 4);
        const std::uint8_t* c = &bytes[p + 12];
        const std::size_t size = i32(&bytes[p + 4]);
        if (id == "SIZE") {
            scene.sizes.push_back({i32(c), i32(c + 4), i32(c + 8)});
        } else if (id == "XYZI") {
            models.emplace_back();
            for (int n = 0; n < i32(c); ++n) {
                const std::uint8_t* v = c + 4 + 4 * n;
                models.back().push_back({v[0], v[1], v[2], v[3]});
            }
        } else if (id == "nTRN" || id == "nSHP" || id == "nGRP") {
            // Node id, then an attribute dictionary this writer leaves empty.
            const int node = i32(c);
            EXPECT_EQ(i32(c + 4), 0);
            if (id == "nGRP") ++scene.groups;
            if (id == "nSHP") {
                ++scene.shapes;
                shapeModel[node] = i32(c + 12);
            }
            if (id == "nTRN") {
                ++scene.transforms;
                std::array<int, 3> t{};
                // child, reserved, layer, frames(1), then the frame dictionary.
                const std::uint8_t* frame = c + 24;
                if (i32(frame) == 1) {
                    const int keyLength = i32(frame + 4);
                    const std::string key(frame + 8, frame + 8 + keyLength);
                    const int valueLength = i32(frame + 8 + keyLength);
                    const std::string value(frame + 12 + keyLength, frame + 12 + keyLength + valueLength);
                    EXPECT_EQ(key, "_t");
                    std::sscanf(value.c_str(), "%d %d %d", &t[0], &t[1], &t[2]);
                }
                transforms[node] = {i32(c + 8), t};
            }
        } else if (id == "RGBA") {
            for (int e = 0; e < 256; ++e) palette[e] = static_cast<Rgb>(c[4 * e]) << 16 | c[4 * e + 1] << 8 | c[4 * e + 2];
        }
        p += 12 + size + i32(&bytes[p + 8]);
    }
    for (const auto& [node, entry] : transforms) {
        auto shape = shapeModel.find(entry.first);
        if (shape == shapeModel.end()) continue;  // the root transform
        const int m = shape->second;
        for (const auto& v : models.at(m)) {
            std::array<int, 3> at{};
            for (int a = 0; a < 3; ++a) at[a] = v[a] + entry.second[a] - scene.sizes.at(m)[a] / 2;
            EXPECT_TRUE(scene.voxels.emplace(at, palette.at(v[3] - 1)).second);
        }
    }
    return scene;
}

std::string writeVox(const VolumeInfo& info, const VoxelSet& voxels, const std::string& name) {
    const std::string path = freshDirectory(name) + "/" + name + ".vox";
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    writers.push_back(std::make_unique<VoxWriter>(path));
    WholeVolumeConsumer consumer(std::move(writers), false);
    const WriteResult result = feed(consumer, info, voxels);
    EXPECT_TRUE(result.ok) << result.error;
    return path;
}

// Vox z is the mesh's +y and vox y the mesh's -z.
std::array<int, 3> voxPosition(const Voxel& v, int n) { return {v.i, n - 1 - v.k, v.j}; }

class VoxTest : public ::testing::TestWithParam<Case> {};

TEST_P(VoxTest, LStandsUpInOneModel) {
    const VolumeInfo info = volumeInfo(GetParam().layout, GetParam().encoding, 4);
    const VoxScene scene = readVox(writeVox(info, lShape(), "ell" + caseName(GetParam())));
    ASSERT_EQ(scene.sizes.size(), 1u);
    EXPECT_EQ(scene.sizes[0], (std::array<int, 3>{4, 4, 4}));
    EXPECT_EQ(scene.shapes, 1);
    std::map<std::array<int, 3>, Rgb> expected;
    const bool colour = GetParam().encoding == SliceEncoding::Colour;
    for (const Voxel& v : lShape()) expected[voxPosition(v, 4)] = colour ? v.rgb : 0xFFFFFF;
    EXPECT_EQ(scene.voxels, expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, VoxTest,
                         ::testing::Values(Case{Layout::Clipping, SliceEncoding::Colour},
                                           Case{Layout::Depth, SliceEncoding::Occupancy}),
                         [](const auto& info) { return caseName(info.param); });

TEST(VoxSplit, GridOf257IsCutIntoModelsThatKeepEveryVoxelInPlace) {
    const int n = 257;
    const VolumeInfo info = volumeInfo(Layout::Clipping, SliceEncoding::Colour, n);
    // The corners of the cube and the voxels either side of the 256 cut.
    VoxelSet voxels = {{0, 0, 0, 0x112233},     {256, 0, 0, 0x445566},   {0, 256, 0, 0x778899},
                       {0, 0, 256, 0xAABBCC},   {256, 256, 256, 0xDDEEFF}, {255, 255, 255, 0x010203},
                       {255, 0, 0, 0x040506},   {0, 255, 1, 0x070809}};
    const VoxScene scene = readVox(writeVox(info, voxels, "split257"));
    std::map<std::array<int, 3>, Rgb> expected;
    for (const Voxel& v : voxels) expected[voxPosition(v, n)] = v.rgb;
    EXPECT_EQ(scene.voxels, expected);
    EXPECT_EQ(scene.groups, 1);
    EXPECT_EQ(scene.shapes, static_cast<int>(scene.sizes.size()));
    EXPECT_EQ(scene.transforms, scene.shapes + 1);
    for (const auto& size : scene.sizes)
        for (int edge : size) {
            EXPECT_GE(edge, 1);
            EXPECT_LE(edge, 256);
        }
    EXPECT_GE(scene.sizes.size(), 5u);  // the occupied tiles of the 2 x 2 x 2
}

TEST(VoxColours, ManyColoursComeBackWithinTheReportedError) {
    // 16^3 voxels, every one a different colour of a ramp: 4096 colours.
    const int n = 16;
    VoxelSet voxels;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                voxels.insert({i, j, k, static_cast<Rgb>(i * 16 + 8) << 16 | static_cast<Rgb>(j * 16 + 8) << 8 |
                                            static_cast<Rgb>(k * 16 + 8)});
    const std::string path = freshDirectory("ramp") + "/ramp.vox";
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    auto vox = std::make_unique<VoxWriter>(path);
    VoxWriter* writer = vox.get();
    writers.push_back(std::move(vox));
    WholeVolumeConsumer consumer(std::move(writers), false);
    ASSERT_TRUE(feed(consumer, volumeInfo(Layout::Depth, SliceEncoding::Colour, n), voxels).ok);
    // 255 entries over a 240^3 cube of colours: cells about 38 units a side,
    // so a nearest entry lies within about half a cell's diagonal (33).
    // Truncating to 255 colours would move some by over 200.
    EXPECT_GT(writer->maxColourError(), 0.0);
    EXPECT_LT(writer->maxColourError(), 40.0);
    ASSERT_EQ(consumer.notes().size(), 1u);
    EXPECT_NE(consumer.notes()[0].find("4096 colours quantised to 255 palette entries"), std::string::npos);

    const VoxScene scene = readVox(path);
    ASSERT_EQ(scene.voxels.size(), voxels.size());
    double worst = 0.0;
    for (const Voxel& v : voxels) {
        const Rgb got = scene.voxels.at(voxPosition(v, n));
        double sum = 0.0;
        for (int s = 0; s <= 16; s += 8) sum += std::pow(double((v.rgb >> s) & 0xFF) - double((got >> s) & 0xFF), 2);
        worst = std::max(worst, std::sqrt(sum));
    }
    EXPECT_NEAR(worst, writer->maxColourError(), 1e-9);
}

TEST(ColourQuantiser, FewColoursStayExact) {
    const QuantisedPalette palette = quantiseColours({{0x102030, 4}, {0xFFFFFF, 1}, {0x000001, 9}}, 255);
    ASSERT_EQ(palette.entries.size(), 3u);
    EXPECT_EQ(palette.maxError, 0.0);
    EXPECT_EQ(palette.entries[palette.indexOf.at(0x102030)], 0x102030u);
}

TEST(ColourQuantiser, AnEntryIsItsBoxsWeightedMeanRounded) {
    // Red splits the far colour off; the near box's means are 20/3, 22/3
    // and 2/3 of a unit: 7, 7 and 1 rounded (6, 7 and 0 cut off).
    const QuantisedPalette palette = quantiseColours({{0x000000, 1}, {0x0A0B01, 2}, {0xFF0000, 1}}, 2);
    ASSERT_EQ(palette.entries.size(), 2u);
    EXPECT_EQ(palette.entries[palette.indexOf.at(0x000000)], 0x070701u);
    EXPECT_EQ(palette.entries[palette.indexOf.at(0x0A0B01)], 0x070701u);
    EXPECT_EQ(palette.entries[palette.indexOf.at(0xFF0000)], 0xFF0000u);
    EXPECT_DOUBLE_EQ(palette.maxError, std::sqrt(99.0));  // 0x000000 to its entry
}

}  // namespace
}  // namespace kubelmar::test
