#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "voxel/png_io.h"
#include "voxel/slice_writer.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

fs::path freshDir(const char* tag) {
    const fs::path dir = fs::temp_directory_path() / ("kubelmar-slices-" + std::to_string(getpid()) + tag);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::uint8_t> pixel(const fs::path& file, int r, int c, int* size = nullptr) {
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    EXPECT_TRUE(readPngRGBA(file.string(), w, h, rgba, nullptr)) << file;
    if (size) *size = w;
    EXPECT_EQ(w, h);
    return {rgba.begin() + (r * w + c) * 4, rgba.begin() + (r * w + c) * 4 + 4};
}

TEST(SliceNames, AreSixDigitsFromOneHundredThousand) {
    EXPECT_EQ(sliceFileName("out", 0), "out/slice100000.png");
    EXPECT_EQ(sliceFileName("out", 1023), "out/slice101023.png");
    EXPECT_EQ(sliceFileName("out/", 5), "out//slice100005.png");  // the text is used as it is
}

TEST(SliceWriter, ColourAndOccupancyEncodings) {
    const fs::path dir = freshDir("enc");
    VoxelVolume volume;
    ASSERT_TRUE(volume.allocate(64));
    std::uint8_t* v = volume.row(2, 3) + 3 * 4;  // voxel (2, 3, 4)
    v[0] = 10, v[1] = 20, v[2] = 30;
    NullProgress none;
    WriteResult colour = saveColorSlices(volume, dir.string(), none);
    ASSERT_TRUE(colour.ok);
    EXPECT_EQ(colour.filesWritten, 64);
    EXPECT_TRUE(fs::exists(dir / "slice100063.png"));
    EXPECT_FALSE(fs::exists(dir / "slice100064.png"));
    int size = 0;
    EXPECT_EQ(pixel(dir / "slice100002.png", 3, 4, &size), (std::vector<std::uint8_t>{10, 20, 30, 255}));
    EXPECT_EQ(size, 64);
    EXPECT_EQ(pixel(dir / "slice100002.png", 4, 3), (std::vector<std::uint8_t>{0, 0, 0, 255}));

    volume.clear();
    volume.row(1, 0)[0] = 255;
    volume.row(1, 0)[1] = 254;
    volume.row(1, 0)[2] = 1;
    ASSERT_TRUE(saveOccupancySlices(volume, dir.string(), none).ok);
    EXPECT_EQ(pixel(dir / "slice100001.png", 0, 0), (std::vector<std::uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(pixel(dir / "slice100001.png", 0, 1), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(pixel(dir / "slice100001.png", 0, 2), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    fs::remove_all(dir);
}

TEST(SliceWriter, StopsAtTheFirstFailureAndNamesIt) {
    VoxelVolume volume;
    ASSERT_TRUE(volume.allocate(64));
    NullProgress none;
    testing::internal::CaptureStderr();
    WriteResult result = saveColorSlices(volume, "/nonexistent-kubelmar-dir", none);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.filesWritten, 0);
    EXPECT_EQ(result.error.rfind("ERROR: Writing File: /nonexistent-kubelmar-dir/slice100000.png", 0), 0u);
    EXPECT_EQ(err, result.error + "\n");  // one line, not 64
}

TEST(VoxelScale, ThreeLinesWithSixSignificantDigits) {
    const fs::path dir = freshDir("scale");
    ASSERT_TRUE(saveVoxelScale(dir.string(), 100.0f, 64).ok);
    std::ifstream in(dir / "voxelscale.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "x 1.5625\ny 1.5625\nz 1.5625\n");
    ASSERT_TRUE(saveVoxelScale(dir.string(), 9.907f, 512).ok);
    std::ifstream again(dir / "voxelscale.txt", std::ios::binary);
    std::stringstream text2;
    text2 << again.rdbuf();
    EXPECT_EQ(text2.str(), "x 0.0193496\ny 0.0193496\nz 0.0193496\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveVoxelScale((dir / "missing").string(), 1.0f, 64).ok);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("missing/voxelscale.txt"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kubelmar
