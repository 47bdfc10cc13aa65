#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "formats/png_io.h"
#include "formats/png_stack_writer.h"
#include "formats/slice_png_encoder.h"

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

TEST(SliceNames, TheStackOwnsEveryNAndTheScaleButNoNearMiss) {
    for (const char* name : {"slice100000.png", "slice199999.png", "voxelscale.txt"})
        EXPECT_TRUE(isPngStackFileName(name)) << name;
    for (const char* name : {"slice10000.png", "slice1000000.png", "slice10000a.png", "slice200000.png",
                             "Slice100000.png", "slice100000.PNG", "slice100000.png.bak", "voxelscale.txt~", ""})
        EXPECT_FALSE(isPngStackFileName(name)) << name;
    // Every name the stack writes is one it owns, so a later run can remove it.
    VolumeInfo info;
    setCubeGrid(info, 3, 1.0f);
    info.mode = VoxelMode::Clipping;
    EXPECT_EQ(pngStackFileNames(info),
              (std::vector<std::string>{"slice100000.png", "slice100001.png", "slice100002.png", "voxelscale.txt"}));
    info.mode = VoxelMode::DepthBuffer;
    EXPECT_EQ(pngStackFileNames(info).size(), 3u);
}

VolumeInfo volumeOf(int n, VoxelMode mode) {
    VolumeInfo info;
    setCubeGrid(info, n, 100.0f / static_cast<float>(n));
    info.mode = mode;
    info.encoding = mode == VoxelMode::Clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy;
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

// Streams n slices until one is refused, then ends the stack.
WriteResult streamStack(PngStackWriter& stack, int n) {
    std::vector<std::uint8_t> rgba(std::size_t(n) * n * 4, 255);
    if (WriteResult begun = stack.begin(volumeOf(n, VoxelMode::Clipping)); !begun.ok) return begun;
    for (int s = 0; s < n; ++s)
        if (WriteResult written = stack.slice(s, rgba.data()); !written.ok) return written;
    return stack.end();
}

TEST(PngStackWriter, ManyFailingSlicesAlwaysReportTheLowest) {
    // The slices are written on several threads and every one of them fails
    // here; whichever thread fails first, the report names slice 0. Repeated
    // because a race shows only sometimes.
    for (int run = 0; run < 20; ++run) {
        PngStackWriter stack("/nonexistent-kubelmar-dir");
        const WriteResult result = streamStack(stack, 16);
        ASSERT_FALSE(result.ok);
        EXPECT_EQ(result.filesWritten, 0);
        ASSERT_EQ(result.error.file, "/nonexistent-kubelmar-dir/slice100000.png") << "run " << run;
        EXPECT_EQ(result.error.message, "No such file or directory");
    }
}

TEST(PngStackWriter, TheFirstBlockedSliceIsReportedAfterTheGoodOnes) {
    // Folders standing where slices 3, 5 and 9 go: those opens fail, the
    // slices before 3 are written.
    const fs::path dir = freshDir("blocked");
    for (int s : {3, 5, 9}) fs::create_directory(dir / sliceName(s));
    for (int run = 0; run < 10; ++run) {
        PngStackWriter stack(dir.string());
        const WriteResult result = streamStack(stack, 12);
        ASSERT_FALSE(result.ok);
        ASSERT_EQ(result.error.file, (dir / "slice100003.png").string()) << "run " << run;
        EXPECT_GE(result.filesWritten, 3);
        for (int s : {0, 1, 2}) EXPECT_TRUE(fs::is_regular_file(dir / sliceName(s)));
    }
    fs::remove_all(dir);
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
        ASSERT_TRUE(writeWholeFile(file.string(), png.data(), png.size()).ok);
        std::string error;
        int w = 0, h = 0;
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(readPngRGBA(file.string(), w, h, back, &error)) << error << " kind " << shape.kind;
        EXPECT_EQ(w, shape.width);
        EXPECT_EQ(h, shape.height);
        EXPECT_TRUE(back == rgba) << shape.width << " x " << shape.height << " kind " << shape.kind;
    }
    fs::remove_all(dir);
}

TEST(SlicePngEncoder, KnownRowSpansGiveTheSameFileReadingLess) {
    // Empty rows in runs, alone, first and last; spans of one pixel, at
    // either end and in between; widths around the fast path's bounds and
    // row ends that leave one or two literal bytes. Empty rows hold garbage
    // the encoder must not read.
    std::mt19937 random(9);
    for (const int width : {1, 2, 63, 64, 65, 66, 129, 300, 8193}) {
        for (const std::array<std::uint8_t, 4> empty : {std::array<std::uint8_t, 4>{0, 0, 0, 255},
                                                        std::array<std::uint8_t, 4>{0, 0, 0, 0}}) {
            const int height = 40;
            std::vector<std::uint8_t> whole(std::size_t(width) * height * 4), told;
            SliceRows rows;
            rows.reset(height);
            for (int y = 0; y < height; ++y) {
                const bool blank = (y < 3 || (y > 10 && y < 20) || y == 25 || y == height - 1) && y != 15;
                for (int x = 0; x < width; ++x) std::memcpy(&whole[(std::size_t(y) * width + x) * 4], empty.data(), 4);
                if (blank) continue;
                const int marks = y % 4 == 0 ? 1 : 1 + static_cast<int>(random() % 9);
                for (int k = 0; k < marks; ++k) {
                    const int x = y % 6 == 0 ? 0 : y % 6 == 1 ? width - 1 : static_cast<int>(random() % width);
                    whole[(std::size_t(y) * width + x) * 4 + k % 3] = static_cast<std::uint8_t>(1 + random() % 255);
                    rows.mark(y, x);
                }
            }
            told = whole;
            for (int y = 0; y < height; ++y)
                if (rows.empty(y)) std::fill_n(&told[std::size_t(y) * width * 4], width * 4, 0xA5);
            std::vector<std::uint8_t> expected, png;
            encodeSlicePng(whole.data(), width, height, expected);
            encodeSlicePng(told.data(), width, height, KnownRows{&rows, empty}, png);
            EXPECT_TRUE(png == expected) << "width " << width << " alpha " << int(empty[3]);
        }
    }
}

TEST(PngStackWriter, SlicesWithRowSpansAreWrittenAsWholeOnes) {
    // Two stacks of the same slices, one told which rows are empty (and
    // holding garbage there), decode to the same pixels; volume counts over
    // the spans agree with the whole-slice count.
    const int n = 96;
    const fs::path whole = freshDir("whole"), spans = freshDir("spans");
    PngStackWriter a(whole.string()), b(spans.string());
    const VolumeInfo info = volumeOf(n, VoxelMode::Clipping);
    ASSERT_TRUE(a.begin(info).ok);
    ASSERT_TRUE(b.begin(info).ok);
    std::mt19937 random(3);
    for (int s = 0; s < 6; ++s) {
        std::vector<std::uint8_t> rgba(std::size_t(n) * n * 4);
        for (std::size_t p = 0; p < rgba.size(); p += 4) rgba[p + 3] = 255;
        SliceRows rows;
        rows.reset(n);
        for (int k = 0; k < 50 * s; ++k) {
            const int r = static_cast<int>(random() % (n / 2)) + s, c = static_cast<int>(random() % n);
            rgba[(std::size_t(r) * n + c) * 4 + 1] = 200;
            rows.mark(r, c);
        }
        std::vector<std::uint8_t> garbage = rgba;
        for (int r = 0; r < n; ++r)
            if (rows.empty(r)) std::fill_n(&garbage[std::size_t(r) * n * 4], n * 4, 0x3C);
        EXPECT_EQ(countFilledVoxels(garbage.data(), n, rows, info.encoding),
                  countFilledVoxels(rgba.data(), std::size_t(n) * n, info.encoding));
        ASSERT_TRUE(a.slice(s, rgba.data()).ok);
        ASSERT_TRUE(b.sliceWithRows(s, garbage.data(), rows).ok);
    }
    ASSERT_TRUE(a.end().ok);
    ASSERT_TRUE(b.end().ok);
    for (int s = 0; s < 6; ++s) {
        int w = 0, h = 0;
        std::vector<std::uint8_t> x, y;
        ASSERT_TRUE(readPngRGBA((whole / sliceName(s)).string(), w, h, x, nullptr));
        ASSERT_TRUE(readPngRGBA((spans / sliceName(s)).string(), w, h, y, nullptr));
        EXPECT_TRUE(x == y) << "slice " << s;
    }
    fs::remove_all(whole);
    fs::remove_all(spans);
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
