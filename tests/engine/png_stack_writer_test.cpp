#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "voxel/png_io.h"
#include "voxel/png_stack_writer.h"
#include "voxel/slice_png_encoder.h"

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

VolumeInfo volumeOf(int n, VoxelMode mode) {
    VolumeInfo info;
    info.size = n;
    info.mode = mode;
    info.encoding = mode == VoxelMode::Clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy;
    info.voxelSize = 100.0f / static_cast<float>(n);
    return info;
}

TEST(PngStackWriter, WritesEverySliceAsGivenAndTheScaleInTheClippingModeOnly) {
    const fs::path dir = freshDir("enc");
    const int n = 64;
    for (VoxelMode mode : {VoxelMode::Clipping, VoxelMode::DepthBuffer}) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        PngStackWriter stack(dir.string());
        ASSERT_TRUE(stack.begin(volumeOf(n, mode)).ok);
        std::vector<std::uint8_t> rgba(n * n * 4);
        for (int s = 0; s < n; ++s) {
            // A pixel that tells the slices apart and sits off the diagonal.
            std::fill(rgba.begin(), rgba.end(), 0);
            std::uint8_t* p = &rgba[(3 * n + 4) * 4];
            p[0] = static_cast<std::uint8_t>(s), p[1] = 20, p[2] = 30, p[3] = 255;
            ASSERT_TRUE(stack.slice(s, rgba.data()).ok);
        }
        const WriteResult result = stack.end();
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.filesWritten, mode == VoxelMode::Clipping ? n + 1 : n);
        EXPECT_EQ(fs::exists(dir / "voxelscale.txt"), mode == VoxelMode::Clipping);
        EXPECT_FALSE(fs::exists(dir / "slice100064.png"));
        for (int s : {0, 17, 63}) {
            int size = 0;
            EXPECT_EQ(pixel(dir / sliceFileName("", s).substr(1), 3, 4, &size),
                      (std::vector<std::uint8_t>{static_cast<std::uint8_t>(s), 20, 30, 255}));
            EXPECT_EQ(size, n);
            EXPECT_EQ(pixel(dir / sliceFileName("", s).substr(1), 4, 3), (std::vector<std::uint8_t>{0, 0, 0, 0}));
        }
    }
    fs::remove_all(dir);
}

TEST(PngStackWriter, AFailureStopsTheStackAndIsReportedOnceWithoutPrinting) {
    PngStackWriter stack("/nonexistent-kubelmar-dir");
    const int n = 16;
    ASSERT_TRUE(stack.begin(volumeOf(n, VoxelMode::Clipping)).ok);
    std::vector<std::uint8_t> rgba(n * n * 4, 255);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    WriteResult result;
    for (int s = 0; s < n && result.ok; ++s) result = stack.slice(s, rgba.data());
    if (result.ok) result = stack.end();
    const std::string printed = testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.filesWritten, 0);
    EXPECT_EQ(result.error.file.rfind("/nonexistent-kubelmar-dir/slice1000", 0), 0u) << result.error.text();
    EXPECT_EQ(printed, "");
}

TEST(PngIo, AFullDiskAtFlushOrCloseIsAFailure) {
    // /dev/full accepts the open and fails every write, the last ones at
    // flush time: a writer that looked only at its own calls would pass.
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::vector<std::uint8_t> rgba(8 * 8 * 4, 7);
    std::string reason;
    EXPECT_FALSE(writePngRGBA("/dev/full", 8, 8, rgba.data(), &reason));
    EXPECT_FALSE(reason.empty());
}

TEST(SlicePngEncoder, LibpngDecodesEveryKindOfSliceExactly) {
    // Noise (all literals), runs of one pixel, rows repeating the row above,
    // sparse dots, a 1 x 1 image and rows longer than deflate's 32K window.
    std::mt19937 random(5);
    const fs::path dir = freshDir("encoder");
    struct Shape {
        int width, height, kind;
    };
    const Shape shapes[] = {{1, 1, 0}, {3, 7, 0}, {64, 64, 1}, {130, 65, 2}, {97, 120, 3}, {8193, 3, 3}, {300, 2, 1}};
    for (const Shape& shape : shapes) {
        std::vector<std::uint8_t> rgba(std::size_t(shape.width) * shape.height * 4);
        for (std::size_t i = 0; i < rgba.size(); ++i) {
            const std::size_t row = i / (4 * shape.width);
            switch (shape.kind) {
            case 0: rgba[i] = static_cast<std::uint8_t>(random()); break;
            case 1: rgba[i] = i % 4 == 3 ? 255 : 0; break;
            case 2: rgba[i] = row % 5 == 0 ? static_cast<std::uint8_t>(random() % 3) : rgba[i - 4 * shape.width * (row > 0)]; break;
            default: rgba[i] = random() % 40 == 0 ? static_cast<std::uint8_t>(random()) : (i % 4 == 3 ? 255 : 0);
            }
        }
        std::vector<std::uint8_t> png;
        encodeSlicePng(rgba.data(), shape.width, shape.height, png);
        const fs::path file = dir / "slice.png";
        std::string error;
        ASSERT_TRUE(writeFileBytes(file.string(), png.data(), png.size(), &error)) << error;
        int w = 0, h = 0;
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(readPngRGBA(file.string(), w, h, back, &error)) << error << " kind " << shape.kind;
        EXPECT_EQ(w, shape.width);
        EXPECT_EQ(h, shape.height);
        EXPECT_TRUE(back == rgba) << shape.width << " x " << shape.height << " kind " << shape.kind;
    }
    fs::remove_all(dir);
}

TEST(VoxelScale, ThreeLinesWithSixSignificantDigits) {
    const fs::path dir = freshDir("scale");
    ASSERT_TRUE(saveVoxelScale(dir.string(), 100.0f / 64.0f).ok);
    std::ifstream in(dir / "voxelscale.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "x 1.5625\ny 1.5625\nz 1.5625\n");
    ASSERT_TRUE(saveVoxelScale(dir.string(), 9.907f / 512.0f).ok);
    std::ifstream again(dir / "voxelscale.txt", std::ios::binary);
    std::stringstream text2;
    text2 << again.rdbuf();
    EXPECT_EQ(text2.str(), "x 0.0193496\ny 0.0193496\nz 0.0193496\n");
    const WriteResult missing = saveVoxelScale((dir / "missing").string(), 1.0f);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.file.find("missing/voxelscale.txt"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kubelmar
