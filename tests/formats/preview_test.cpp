// The preview collected beside the writers: projections in the mesh's
// axes for both stack layouts, kept slices, and the one-picture PNG.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utility>

#include "formats/fan_out_consumer.h"
#include "formats/preview_volume.h"
#include "test_volume.h"
#include "formats/png_io.h"

namespace kubelmar::test {
namespace {

constexpr int kN = 4;

// What a projection pixel shows: the nearest voxel's colour and its depth
// (voxel layers from the viewer's face).
using Expected = std::map<std::pair<int, int>, std::pair<Rgb, int>>;  // (row, column) -> (rgb, depth)

Rgb pixelAt(const std::vector<std::uint8_t>& rgba, int row, int column) {
    const std::uint8_t* p = &rgba[4 * std::size_t(row * kN + column)];
    EXPECT_EQ(p[3], 255);
    return Rgb(p[0]) << 16 | Rgb(p[1]) << 8 | p[2];
}

// The colour darkened to half brightness at the far side (depth n - 1).
Rgb shaded(Rgb rgb, int depth) {
    const int num = 2 * (kN - 1) - depth, den = 2 * (kN - 1);
    auto channel = [&](int shift) { return Rgb(int(rgb >> shift & 0xFF) * num / den) << shift; };
    return channel(16) | channel(8) | channel(0);
}

void expectProjection(const VolumePreview& preview, PreviewView view, const Expected& expected, const char* name) {
    const std::vector<std::uint8_t> rgba = preview.projection(view);
    ASSERT_EQ(rgba.size(), std::size_t(kN * kN * 4));
    for (int row = 0; row < kN; ++row)
        for (int column = 0; column < kN; ++column) {
            const auto found = expected.find({row, column});
            const Rgb want = found == expected.end() ? 0 : shaded(found->second.first, found->second.second);
            EXPECT_EQ(pixelAt(rgba, row, column), want) << name << " row " << row << " column " << column;
        }
}

class PreviewLayouts : public ::testing::TestWithParam<Case> {};

// The L (arms along +x, +y, +z of unequal length) seen from the front, the
// side and the top, worked out by hand: a swapped or mirrored axis in
// either stack layout moves a pixel.
TEST_P(PreviewLayouts, ProjectionsShowTheNearestVoxelInMeshAxes) {
    const Case c = GetParam();
    const bool colour = c.encoding == SliceEncoding::Colour;
    auto rgb = [&](Rgb value) { return colour ? value : Rgb(0xFFFFFF); };
    VolumePreview preview;
    ASSERT_TRUE(feed(preview, volumeInfo(c.layout, c.encoding, kN), lShape()).ok);
    EXPECT_TRUE(preview.complete());

    // Front, from +z: column x, row n-1-y, nearest is the largest z.
    expectProjection(preview, PreviewView::Front,
                     {{{3, 0}, {rgb(0x01FF7F), 2}}, {{3, 1}, {rgb(0x405060), 3}}, {{3, 2}, {rgb(0x708090), 3}},
                      {{2, 0}, {rgb(0xA0B0C0), 3}}, {{1, 0}, {rgb(0xD0E0F0), 3}}},
                     "front");
    // Side, from +x: column n-1-z, row n-1-y, nearest is the largest x.
    expectProjection(preview, PreviewView::Side,
                     {{{3, 3}, {rgb(0x708090), 1}}, {{2, 3}, {rgb(0xA0B0C0), 3}}, {{1, 3}, {rgb(0xD0E0F0), 3}},
                      {{3, 2}, {rgb(0x01FF7F), 3}}},
                     "side");
    // Top, from +y: column x, row z, nearest is the largest y.
    expectProjection(preview, PreviewView::Top,
                     {{{0, 0}, {rgb(0xD0E0F0), 1}}, {{0, 1}, {rgb(0x405060), 3}}, {{0, 2}, {rgb(0x708090), 3}},
                      {{1, 0}, {rgb(0x01FF7F), 3}}},
                     "top");
}

INSTANTIATE_TEST_SUITE_P(, PreviewLayouts,
                         ::testing::Values(Case{Layout::Clipping, SliceEncoding::Colour},
                                           Case{Layout::Clipping, SliceEncoding::Occupancy},
                                           Case{Layout::Depth, SliceEncoding::Colour},
                                           Case{Layout::Depth, SliceEncoding::Occupancy}),
                         [](const auto& info) { return caseName(info.param); });

// Past 512 voxels a side only every other slice, row and column is
// projected, each onto the pixel of its voxel index halved.
TEST(VolumePreview, LargeVolumesProjectIntoBlocksOfVoxels) {
    constexpr int n = 513;
    VolumePreview preview;
    ASSERT_TRUE(feed(preview, volumeInfo(Layout::Clipping, SliceEncoding::Colour, n), lShape()).ok);
    const int p = preview.projectionSize();
    ASSERT_EQ(p, 257);
    const std::vector<std::uint8_t> front = preview.projection(PreviewView::Front);
    std::vector<std::pair<int, int>> lit;
    for (int i = 0; i < p * p; ++i)
        if (front[4 * std::size_t(i)] | front[4 * std::size_t(i) + 1] | front[4 * std::size_t(i) + 2])
            lit.emplace_back(i / p, i % p);
    // Blocks of 2 x 2 voxels: (0..1, 0..1) at the bottom left, x = 2 beside
    // it, y = 2 above it.
    EXPECT_EQ(lit, (std::vector<std::pair<int, int>>{{255, 0}, {256, 0}, {256, 1}}));
}

// A line one voxel wide on a slice between the samples shows whole in a
// projection that takes a voxel in three along each axis: in the clipping
// mode's shell every voxel is projected, in the solids a run's two ends.
TEST(VolumePreview, ThinSurfacesBetweenTheSamplesLeaveNoHoles) {
    for (Layout layout : {Layout::Clipping, Layout::Depth}) {
        const bool clipping = layout == Layout::Clipping;
        VolumeInfo info = volumeInfo(layout, clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy, 1030);
        // Two slices of 1030 x 1030; the line lies on the second, across
        // x and the other in-slice axis (z for the clipping mode's slices
        // along y, y for the depth mode's along z).
        info.dims = clipping ? std::array<int, 3>{1030, 2, 1030} : std::array<int, 3>{1030, 1030, 2};
        VoxelSet voxels;
        for (int i = 0; i < 1030; ++i)
            voxels.insert(clipping ? Voxel{i, 0, 1029 - i, 0xFFFFFF} : Voxel{i, 1029 - i, 1, 0xFFFFFF});
        VolumePreview preview;
        ASSERT_TRUE(feed(preview, info, voxels).ok);
        ASSERT_EQ(preview.projectionSize(), 344);  // ceil(1030 / 3)
        // Seen across the slices: the top view (rows z / 3) or the front
        // view (rows from the top, 343 - y / 3); columns x / 3 in both.
        const std::vector<std::uint8_t> view = preview.projection(clipping ? PreviewView::Top : PreviewView::Front);
        int lit = 0;
        for (int row = 0; row < 344; ++row)
            for (int column = 0; column < 344; ++column) {
                const bool on = view[4 * (std::size_t(row) * 344 + column)] != 0;
                lit += on;
                const int diagonal = clipping ? 343 - column : column;
                if (std::abs(row - diagonal) > 1) {
                    EXPECT_FALSE(on) << row << " " << column;
                }
            }
        EXPECT_GE(lit, 344) << (clipping ? "clipping" : "depth");
    }
}

// Records the slices as streamed, opaque (an empty occupancy voxel black).
class SliceRecorder : public SliceConsumer {
public:
    WriteResult begin(const VolumeInfo& info) override {
        encoding_ = info.encoding;
        slices.clear();
        return {};
    }
    WriteResult slice(int, const std::uint8_t* rgba) override {
        std::vector<std::uint8_t> copy(rgba, rgba + kN * kN * 4);
        for (std::size_t p = 0; p < copy.size(); p += 4) {
            if (!voxelFilled(&copy[p], encoding_)) copy[p] = copy[p + 1] = copy[p + 2] = 0;
            copy[p + 3] = 255;
        }
        slices.push_back(copy);
        return {};
    }
    WriteResult end() override { return {}; }
    std::vector<std::vector<std::uint8_t>> slices;

private:
    SliceEncoding encoding_ = SliceEncoding::Colour;
};

TEST(VolumePreview, KeepsEverySliceOrOnlyTheSamplesWithinItsBudget) {
    const VolumeInfo info = volumeInfo(Layout::Depth, SliceEncoding::Occupancy, kN);
    SliceRecorder recorder;
    VolumePreview all;
    FanOutConsumer fan;
    fan.add(recorder);
    fan.add(all);
    ASSERT_TRUE(feed(fan, info, lShape()).ok);
    for (int s = 0; s < kN; ++s) EXPECT_EQ(all.slicePixels(s), recorder.slices[std::size_t(s)]) << "slice " << s;
    EXPECT_TRUE(all.slicePixels(kN).empty());

    VolumePreview samples({false, 2, std::size_t(1) << 20});
    ASSERT_TRUE(feed(samples, info, lShape()).ok);
    EXPECT_EQ(samples.sampleSlices(), std::vector<int>({1, 2}));
    EXPECT_EQ(samples.slicePixels(1), recorder.slices[1]);
    EXPECT_FALSE(samples.sliceKept(0));
    EXPECT_FALSE(samples.sliceKept(3));

    // No budget: nothing is kept, the projections still are made.
    VolumePreview none({true, 2, 0});
    ASSERT_TRUE(feed(none, info, lShape()).ok);
    EXPECT_FALSE(none.sliceKept(0));
    EXPECT_EQ(none.projection(PreviewView::Front), all.projection(PreviewView::Front));
}

TEST(PreviewPng, WritesOnePictureAfterTheRunAndNothingWhenItFails) {
    const std::string dir = freshDirectory("preview");
    const std::string path = dir + "/preview.png";
    PreviewPngWriter writer(path);
    const WriteResult written = feed(writer, volumeInfo(Layout::Clipping, SliceEncoding::Colour, kN), lShape());
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.filesWritten, 1);
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    ASSERT_TRUE(readPngRGBA(path, w, h, rgba, nullptr));
    // Three 4-pixel projections; four 2-pixel samples (one per slice of
    // four, the widest row); 8-pixel gaps.
    EXPECT_EQ(w, 4 * (2 + 8) + 8);
    EXPECT_EQ(h, 4 + 16 + 2 + 8);
    // The front projection's top-left tile pixel is row 0, column 0: empty.
    // Row 3, column 1 is the x arm's middle voxel, at the far side.
    auto at = [&](int x, int y) { return Rgb(rgba[4 * std::size_t(y * w + x)]) << 16 |
                                          Rgb(rgba[4 * std::size_t(y * w + x) + 1]) << 8 |
                                          rgba[4 * std::size_t(y * w + x) + 2]; };
    EXPECT_EQ(at(8, 8), 0u);
    EXPECT_EQ(at(8 + 1, 8 + 3), shaded(0x405060, 3));

    // A run that fails never writes the picture; an unwritable path is named.
    const std::string second = dir + "/aborted.png";
    PreviewPngWriter aborted(second);
    ASSERT_TRUE(aborted.begin(volumeInfo(Layout::Clipping, SliceEncoding::Colour, kN)).ok);
    aborted.abort();
    EXPECT_FALSE(fileExists(second));
    PreviewPngWriter nowhere(dir + "/missing/preview.png");
    const WriteResult failed = feed(nowhere, volumeInfo(Layout::Clipping, SliceEncoding::Colour, kN), lShape());
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error.file, dir + "/missing/preview.png") << failed.error.text();
    EXPECT_FALSE(fileExists(dir + "/missing/preview.png.part"));
}

TEST(PreviewGrid, NonCubicVolumeKeepsItsDimsAndTrueProportions) {
    // 4 x 3 x 5 voxels of 0.5 x 0.25 x 1: extents 2 x 0.75 x 5.
    VolumePreview preview;
    const VolumeInfo info = anisotropicInfo(Layout::Depth, SliceEncoding::Occupancy);
    ASSERT_TRUE(feed(preview, info, lShape()).ok);
    ASSERT_TRUE(preview.complete());
    EXPECT_EQ(preview.projectionWidth(PreviewView::Front), 4);   // x
    EXPECT_EQ(preview.projectionHeight(PreviewView::Front), 3);  // y
    EXPECT_EQ(preview.projectionWidth(PreviewView::Side), 5);    // z
    EXPECT_EQ(preview.projectionHeight(PreviewView::Top), 5);    // z
    EXPECT_EQ(preview.projection(PreviewView::Side).size(), std::size_t(5 * 3 * 4));
    const VolumePreview::Extent side = preview.projectionExtent(PreviewView::Side);
    EXPECT_DOUBLE_EQ(side.width, 5.0);
    EXPECT_DOUBLE_EQ(side.height, 0.75);
    // Front, looking down -z: the L's corner voxel (0, 0, 0) at the bottom left.
    const std::vector<std::uint8_t> front = preview.projection(PreviewView::Front);
    EXPECT_NE(front[4 * std::size_t(2 * 4 + 0)], 0);
    EXPECT_EQ(front[4 * std::size_t(0 * 4 + 3)], 0);
    // Slices up z, 4 x 3 each, drawn 2 wide by 0.75 high.
    EXPECT_EQ(preview.sliceCount(), 5);
    EXPECT_EQ(preview.slicePixels(preview.sampleSlices().front()).size(), std::size_t(4 * 3 * 4));
    EXPECT_DOUBLE_EQ(preview.sliceExtent().width, 2.0);
    EXPECT_DOUBLE_EQ(preview.sliceExtent().height, 0.75);

    // In the picture the side view is drawn wide and flat. At 40 x 30 x 50
    // voxels its extent is 50 x 7.5: a 50 x 8 tile (front 50 x 19, top
    // 20 x 50), so below its first rows lies the background.
    VolumePreview large;
    VolumeInfo big = info;
    big.dims = {40, 30, 50};
    big.size = 50;
    ASSERT_TRUE(feed(large, big, lShape()).ok);
    const std::string path = freshDirectory("previewgrid") + "/preview.png";
    ASSERT_TRUE(writePreviewPng(large, path).ok);
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    ASSERT_TRUE(readPngRGBA(path, width, height, rgba, nullptr));
    const int gap = 8, sideLeft = gap + 50 + gap;
    auto grey = [&](int x, int y) { return rgba[4 * (std::size_t(y) * width + x)]; };
    EXPECT_GE(width, gap + 50 + gap + 50 + gap + 20 + gap);
    EXPECT_NE(grey(sideLeft + 10, gap + 4), 48);   // inside the side tile (empty: black)
    EXPECT_EQ(grey(sideLeft + 10, gap + 20), 48);  // below it
}

}  // namespace
}  // namespace kubelmar::test
