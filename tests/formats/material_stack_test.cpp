// The per-material stacks and the palette in volume.json, read back from
// what RunOutput wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/material_stack_writer.h"
#include "formats/png_io.h"
#include "formats/run_output.h"
#include "test_volume.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

MaterialPalette threeMaterials() {
    MaterialPalette palette;
    palette.name = "test";
    palette.materials = {{"red", false, {200, 0, 0}}, {"glass", true, {0, 0, 0}}, {"black", false, {0, 0, 0}}};
    return palette;
}

// Material of voxel (s, r, c) of the 5^3 test volume: -1 empty.
int materialAt(int s, int r, int c) {
    const int v = (s * 7 + r * 3 + c) % 5;
    return v < 3 ? v : -1;
}

TEST(MaterialStacks, EachMaterialIsAOneBitStackAndVolumeJsonCountsThem) {
    const fs::path out = test::freshDirectory("materials");
    OutputRequest request;
    request.directory = out.string();
    request.meshPath = "ball.obj";
    request.formats = {OutputFormat::Png, OutputFormat::Materials};
    RunOutput files(request);
    const int n = 5;
    VolumeInfo info = test::volumeInfo(test::Layout::Depth, SliceEncoding::Material, n);
    info.palette = threeMaterials();
    ASSERT_TRUE(files.begin(info).ok);
    std::vector<std::uint8_t> slice(4 * n * n);
    long counts[3] = {0, 0, 0};
    for (int s = 0; s < n; ++s) {
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const int m = materialAt(s, r, c);
                const std::array<std::uint8_t, 4> pixel =
                    m < 0 ? std::array<std::uint8_t, 4>{0, 0, 0, 0} : materialPixel(info.palette.materials[m]);
                std::copy(pixel.begin(), pixel.end(), &slice[4 * (r * n + c)]);
                if (m >= 0) ++counts[m];
            }
        ASSERT_TRUE(files.slice(s, slice.data()).ok);
    }
    const WriteResult ended = files.end();
    ASSERT_TRUE(ended.ok) << ended.error.text();
    EXPECT_EQ(ended.filesWritten, n + 3 * n + 1);  // stack, three material stacks, volume.json

    for (int m = 0; m < 3; ++m) {
        for (int s = 0; s < n; ++s) {
            int w = 0, h = 0;
            std::vector<std::uint8_t> rgba;
            std::string error;
            const fs::path path = out / "materials" / info.palette.materials[m].name / ("slice" + std::to_string(100000 + s) + ".png");
            ASSERT_TRUE(readPngRGBA(path.string(), w, h, rgba, &error)) << path << ": " << error;
            ASSERT_EQ(w, n);
            ASSERT_EQ(h, n);
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c)
                    ASSERT_EQ(rgba[4 * (r * n + c)], materialAt(s, r, c) == m ? 255 : 0) << path << ' ' << r << ' ' << c;
        }
    }
    std::ifstream json(out / "volume.json");
    std::stringstream text;
    text << json.rdbuf();
    const std::string j = text.str();
    EXPECT_NE(j.find("\"encoding\": \"materials\""), std::string::npos) << j;
    EXPECT_NE(j.find("{\"name\": \"red\", \"srgb\": [200, 0, 0], \"pixel\": [200, 0, 0, 255], \"voxels\": " +
                     std::to_string(counts[0]) + "}"),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("{\"name\": \"glass\", \"srgb\": null, \"pixel\": [255, 255, 255, 128], \"voxels\": " +
                     std::to_string(counts[1]) + "}"),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("\"materials/black/slice100004.png\""), std::string::npos);
    EXPECT_NE(j.find("\"filledVoxels\": " + std::to_string(counts[0] + counts[1] + counts[2])), std::string::npos);
}

TEST(MaterialStacks, AVolumeWithoutMaterialsIsRefusedNamingTheFolder) {
    const fs::path out = test::freshDirectory("no-materials");
    MaterialStackWriter writer(out.string());
    const WriteResult begun = writer.begin(test::volumeInfo(test::Layout::Depth, SliceEncoding::Occupancy, 3));
    EXPECT_FALSE(begun.ok);
    EXPECT_EQ(begun.error.file, (out / "materials").string());
}

}  // namespace
}  // namespace kubelmar
