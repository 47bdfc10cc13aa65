// The pieces around the writers: the fan-out, the --format list, the
// voxel-size helper, volume.json.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/fan_out_consumer.h"
#include "formats/output_formats.h"
#include "formats/volume_json.h"
#include "formats/voxel_size.h"
#include "test_volume.h"

namespace kubelmar::test {
namespace {

// Records the calls it gets; fails at slice `failAt` (or never).
class RecordingConsumer : public SliceConsumer {
public:
    explicit RecordingConsumer(int failAt = -1) : failAt_(failAt) {}
    WriteResult begin(const VolumeInfo&) override {
        calls += "b";
        return {};
    }
    WriteResult slice(int s, const std::uint8_t*) override {
        calls += "s";
        return s == failAt_ ? writeFailure("x.bin", "disk full") : WriteResult{};
    }
    WriteResult end() override {
        calls += "e";
        WriteResult result;
        result.filesWritten = 2;
        return result;
    }
    void abort() override { calls += "a"; }
    std::string calls;

private:
    int failAt_;
};

TEST(FanOut, ForwardsEverythingAndSumsTheFiles) {
    RecordingConsumer first, second;
    FanOutConsumer fan;
    fan.add(first);
    fan.add(second);
    const WriteResult result = feed(fan, volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 3), lShape());
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.filesWritten, 4);
    EXPECT_EQ(first.calls, "bssse");
    EXPECT_EQ(second.calls, "bssse");
}

TEST(FanOut, FirstFailureStopsAndAbortsEveryConsumerOnce) {
    RecordingConsumer first(1), second;
    FanOutConsumer fan;
    fan.add(first);
    fan.add(second);
    const WriteResult result = feed(fan, volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 3), lShape());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.text(), "x.bin: disk full");
    // feed() aborts the fan-out again, as the engine does: no second abort.
    EXPECT_EQ(first.calls, "bssa");
    EXPECT_EQ(second.calls, "bsa");
}

TEST(FormatList, ParsesKnownNamesOnceInOrder) {
    const FormatList list = parseFormatList("vox, png,npy,vox");
    ASSERT_TRUE(list.ok) << list.error;
    EXPECT_EQ(list.formats, (std::vector<OutputFormat>{OutputFormat::Vox, OutputFormat::Png, OutputFormat::Npy}));
    EXPECT_EQ(formatFileNames(list.formats, "bunny"), (std::vector<std::string>{"bunny.vox", "bunny.npy"}));
    EXPECT_EQ(formatFilePath(OutputFormat::Npy, {"out/", "bunny", false}), "out/bunny.npy");
    EXPECT_EQ(outputStem("meshes/v1.2/bunny.obj"), "bunny");
    EXPECT_EQ(makeFormatConsumer({OutputFormat::Png}, {"out", "bunny", false}), nullptr);
}

TEST(FormatList, UnknownOrEmptyNameIsNamedWithTheValidOnes) {
    const FormatList unknown = parseFormatList("png,stl");
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.error, "unknown format \"stl\" (valid: png, binvox, nrrd, npy, vox, vdb, materials)");
    EXPECT_TRUE(unknown.formats.empty());
    EXPECT_FALSE(parseFormatList("png,,npy").ok);
    EXPECT_FALSE(parseFormatList("").ok);
    EXPECT_FALSE(parseFormatList("PNG").ok);
}

TEST(VoxelSize, RoundsUpAndRefusesOutOfRange) {
    EXPECT_EQ(gridSizeForVoxelSize(10.0, 2.5).size, 4);
    EXPECT_EQ(gridSizeForVoxelSize(10.0, 3.0).size, 4);
    EXPECT_EQ(gridSizeForVoxelSize(1.0, 0.1).size, 10);  // 1 / 0.1 is 10.000000000000002
    EXPECT_EQ(gridSizeForVoxelSize(0.0, 1.0).size, 1);
    EXPECT_EQ(gridSizeForVoxelSize(4096.0, 1.0).size, 4096);
    const GridSizeResult tooFine = gridSizeForVoxelSize(4096.0, 0.999);
    EXPECT_FALSE(tooFine.ok);
    EXPECT_EQ(tooFine.error.rfind("voxel size 0.999 gives 4101 voxels", 0), 0u) << tooFine.error;
    EXPECT_FALSE(gridSizeForVoxelSize(1.0, 0.0).ok);
    EXPECT_FALSE(gridSizeForVoxelSize(1.0, -1.0).ok);
    EXPECT_FALSE(gridSizeForVoxelSize(1.0, std::nan("")).ok);
}

// The word-at-a-time count against the per-pixel test, on pixels where
// each channel alone is set or clear, in both encodings and at lengths
// that leave a vector loop's tail.
TEST(FilledVoxels, CountAgreesWithThePixelTest) {
    std::vector<std::uint8_t> rgba;
    for (int v = 0; v < 16 * 4 + 3; ++v) {
        const int bits = v % 16;  // which of R, G, B, A are non-zero
        for (int c = 0; c < 4; ++c) rgba.push_back(bits >> c & 1 ? static_cast<std::uint8_t>(1 + 50 * c) : 0);
    }
    for (SliceEncoding encoding : {SliceEncoding::Colour, SliceEncoding::Occupancy}) {
        for (std::size_t pixels : {std::size_t{0}, std::size_t{1}, std::size_t{15}, rgba.size() / 4}) {
            std::uint32_t expected = 0;
            for (std::size_t p = 0; p < pixels; ++p) expected += voxelFilled(&rgba[4 * p], encoding);
            EXPECT_EQ(countFilledVoxels(rgba.data(), pixels, encoding), expected) << pixels;
        }
    }
}

TEST(VolumeJson, RecordsTheStackAxesCountAndGrid) {
    const std::string dir = freshDirectory("json");
    VolumeJsonConsumer json(dir, "1.2.3", {"bunny.npy"}, true);
    VolumeInfo info = volumeInfo(Layout::Clipping, SliceEncoding::Colour, 5);
    // The mesh box starts one voxel in on every axis: the cropped grid's
    // origin is that voxel's corner, the stack's stays the cube's.
    info.meshLow = {info.origin[0] + 0.5, info.origin[1] + 0.5, info.origin[2] + 0.5};
    info.meshHigh = {info.origin[0] + 2.0, info.origin[1] + 2.0, info.origin[2] + 1.5};
    VoxelSet voxels;
    for (Voxel v : lShape()) voxels.insert({v.i + 1, v.j + 1, v.k + 1, v.rgb});
    const WriteResult result = feed(json, info, voxels);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(json.description().filledVoxels, 6u);
    const std::vector<std::uint8_t> bytes = readFile(dir + "/volume.json");
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t grid = text.find("\"grid\": {");
    ASSERT_NE(grid, std::string::npos) << text;
    const std::string stackPart = text.substr(0, grid), gridPart = text.substr(grid);
    for (const char* field :
         {"\"mode\": \"clipping\"", "\"size\": 5", "\"voxelSize\": 0.5", "\"slice\": \"-y\"", "\"row\": \"+x\"",
          "\"column\": \"+z\"", "\"origin\": [-1, 2, 10]", "\"programVersion\": \"1.2.3\"",
          "\"source\": \"meshes/ell.obj\"", "\"emptyVoxel\": [0, 0, 0, 255]"})
        EXPECT_NE(stackPart.find(field), std::string::npos) << field << "\n" << text;
    for (const char* field : {"\"dims\": [3, 3, 2]", "\"origin\": [-0.5, 2.5, 10.5]", "\"firstVoxel\": [1, 1, 1]",
                              "\"cropped\": true", "\"filledVoxels\": 6", "\"files\": [\"bunny.npy\"]"})
        EXPECT_NE(gridPart.find(field), std::string::npos) << field << "\n" << text;
}

TEST(VolumeJson, DepthAxesAndEscapedSource) {
    VolumeDescription d;
    d.info = volumeInfo(Layout::Depth, SliceEncoding::Occupancy, 4);
    d.info.sourcePath = "a \"b\"\\c.obj";
    d.grid = fullGrid(d.info);
    const std::string text = volumeJsonText(d);
    for (const char* field : {"\"slice\": \"+z\"", "\"row\": \"-y\"", "\"column\": \"-x\"", "\"mode\": \"depth\"",
                              "\"source\": \"a \\\"b\\\"\\\\c.obj\"", "\"emptyVoxel\": [0, 0, 0, 0]"})
        EXPECT_NE(text.find(field), std::string::npos) << field << "\n" << text;
}

}  // namespace
}  // namespace kubelmar::test
