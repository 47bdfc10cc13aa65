#include "formats/preview_volume.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <utility>

#include "formats/png_io.h"

namespace kubelmar {

namespace {

// Opaque RGBA pixels as 32-bit words in memory order, so a word written
// back byte for byte is the pixel.
std::uint32_t packPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const std::uint8_t bytes[4] = {r, g, b, 255};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

const std::uint32_t kBlack = packPixel(0, 0, 0);

// Scales the colour part of a packed pixel by num/den.
std::uint32_t darken(std::uint32_t word, int num, int den) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &word, 4);
    for (int i = 0; i < 3; ++i) bytes[i] = static_cast<std::uint8_t>(bytes[i] * num / den);
    std::memcpy(&word, bytes, 4);
    return word;
}

// The voxel index along a mesh axis that stack index i stands for, counted
// so that it grows with the mesh coordinate.
int meshIndex(SignedAxis axis, int i, int n) { return axis.sign > 0 ? i : n - 1 - i; }

// Pixel i of a row of RGBA bytes, as a 32-bit word in memory order.
std::uint32_t pixelWord(const std::uint8_t* row, int i) {
    std::uint32_t word;
    std::memcpy(&word, row + 4 * std::size_t(i), 4);
    return word;
}

// The end of the run of pixels equal to pixel c. Sixteen at a time first:
// the scan over long empty runs is most of the time spent per slice.
int runEnd(const std::uint8_t* row, int c, int n) {
    const std::uint32_t value = pixelWord(row, c);
    std::uint32_t pattern[16];
    std::fill(std::begin(pattern), std::end(pattern), value);
    int end = c + 1;
    while (end + 16 <= n && std::memcmp(row + 4 * std::size_t(end), pattern, sizeof pattern) == 0) end += 16;
    while (end < n && pixelWord(row, end) == value) ++end;
    return end;
}

}  // namespace

VolumePreview::VolumePreview(const Options& options) : options_(options) {}

WriteResult VolumePreview::begin(const VolumeInfo& info) {
    info_ = info;
    const int largest = std::max({info.dims[0], info.dims[1], info.dims[2], 1});
    step_ = std::max(1, (largest + kMaxProjection - 1) / kMaxProjection);
    for (int a = 0; a < 3; ++a) pdims_[a] = (std::max(info.dims[a], 0) + step_ - 1) / step_;
    projectionSize_ = std::max({pdims_[0], pdims_[1], pdims_[2]});
    // Front looks along z, side along x, top along y.
    const int depthAxis[3] = {2, 0, 1};
    for (int v = 0; v < 3; ++v) {
        const PreviewView view = static_cast<PreviewView>(v);
        const std::size_t pixels = std::size_t(projectionWidth(view)) * std::size_t(projectionHeight(view));
        views_[v].colour.assign(pixels, kBlack);
        views_[v].depth.assign(pixels, static_cast<std::uint16_t>(info.dims[depthAxis[v]]));
    }
    slices_.assign(std::size_t(std::max(info.slices(), 0)), {});
    keptBytes_ = 0;
    received_ = 0;
    complete_ = false;
    return {};
}

int VolumePreview::projectionWidth(PreviewView view) const {
    return view == PreviewView::Side ? pdims_[2] : pdims_[0];
}

int VolumePreview::projectionHeight(PreviewView view) const {
    return view == PreviewView::Top ? pdims_[2] : pdims_[1];
}

VolumePreview::Extent VolumePreview::projectionExtent(PreviewView view) const {
    auto along = [&](int a) { return info_.dims[a] * info_.edge[a]; };
    if (view == PreviewView::Front) return {along(0), along(1)};
    if (view == PreviewView::Side) return {along(2), along(1)};
    return {along(0), along(2)};
}

VolumePreview::Extent VolumePreview::sliceExtent() const {
    return {info_.width() * info_.edge[info_.columnAxis.axis], info_.height() * info_.edge[info_.rowAxis.axis]};
}

bool VolumePreview::wantSlice(int s) const {
    if (options_.keepAllSlices) return true;
    const std::vector<int> samples = sampleSlices();
    return std::find(samples.begin(), samples.end(), s) != samples.end();
}

void VolumePreview::project(Projection& target, int pixel, int depth, std::uint32_t colour) {
    if (depth >= target.depth[std::size_t(pixel)]) return;
    target.depth[std::size_t(pixel)] = static_cast<std::uint16_t>(depth);
    target.colour[std::size_t(pixel)] = colour;
}

void VolumePreview::projectVoxel(int s, int r, int c, std::uint32_t word) {
    const std::array<int, 3>& d = info_.dims;
    const int step = step_;
    // Voxel indices along mesh x, y, z.
    int index[3] = {0, 0, 0};
    index[info_.sliceAxis.axis] = meshIndex(info_.sliceAxis, s, d[info_.sliceAxis.axis]);
    index[info_.rowAxis.axis] = meshIndex(info_.rowAxis, r, d[info_.rowAxis.axis]);
    index[info_.columnAxis.axis] = meshIndex(info_.columnAxis, c, d[info_.columnAxis.axis]);
    const int x = index[0], y = index[1], z = index[2];
    const int px = x / step, py = y / step, pz = z / step;
    const int wx = pdims_[0], wz = pdims_[2];
    const int up = pdims_[1] - 1 - py;  // image row of mesh y, the highest at the top
    // Depth 0 is the voxel layer nearest the viewer; the far side is shown
    // at half brightness.
    auto lit = [&](int depth, int n) {
        const int far = std::max(n - 1, 1);
        return darken(word, 2 * far - depth, 2 * far);
    };
    project(views_[0], up * wx + px, d[2] - 1 - z, lit(d[2] - 1 - z, d[2]));
    project(views_[1], up * wz + (wz - 1 - pz), d[0] - 1 - x, lit(d[0] - 1 - x, d[0]));
    project(views_[2], pz * wx + px, d[1] - 1 - y, lit(d[1] - 1 - y, d[1]));
}

WriteResult VolumePreview::slice(int s, const std::uint8_t* rgba) {
    const int w = info_.width(), h = info_.height();
    if (s < 0 || s >= info_.slices()) return {};
    const bool colour = encodingHasColour(info_.encoding);
    const bool keep = wantSlice(s) && keptBytes_ < options_.sliceBudget;
    // A solid's sampled voxels stand for their block: what lies between the
    // samples is inside the same solid, within a block of the surface. The
    // clipping mode's shell has nothing behind a skipped voxel, so every
    // row and slice of it is projected (a shell's voxels are few).
    const bool shell = info_.mode == VoxelMode::Clipping;
    const bool projected = shell || s % step_ == 0;
    std::vector<std::uint32_t> runs;

    for (int r = 0; r < h; ++r) {
        const std::uint8_t* row = rgba + 4 * std::size_t(r) * std::size_t(w);
        const bool projectRow = projected && (shell || r % step_ == 0);
        // Runs of one pixel value: a slice is mostly long runs of empty.
        for (int c = 0; c < w;) {
            const int end = runEnd(row, c, w);
            const std::uint8_t* p = row + 4 * std::size_t(c);
            std::uint32_t word = kBlack;
            if (voxelFilled(p, info_.encoding)) {
                word = colour ? packPixel(p[0], p[1], p[2]) : packPixel(255, 255, 255);
                // Sampled voxels fill the projections' insides. A run's two
                // ends are projected on every row of every slice, so that a
                // surface one voxel thin (a shell, a sheet) between the
                // samples still shows, without holes.
                if (projectRow)
                    for (int k = (c + step_ - 1) / step_ * step_; k < end; k += step_) projectVoxel(s, r, k, word);
                projectVoxel(s, r, c, word);
                if (end - 1 != c) projectVoxel(s, r, end - 1, word);
            }
            if (keep) {
                const std::uint32_t length = std::uint32_t(end - c);
                if (!runs.empty() && runs.back() == word) {
                    runs[runs.size() - 2] += length;
                } else {
                    runs.push_back(length);
                    runs.push_back(word);
                }
            }
            c = end;
        }
    }
    if (keep) {
        runs.shrink_to_fit();
        keptBytes_ += runs.size() * sizeof(std::uint32_t);
        slices_[std::size_t(s)] = std::move(runs);
    }
    received_ = std::max(received_, s + 1);
    return {};
}

WriteResult VolumePreview::end() {
    complete_ = received_ == info_.slices() && info_.slices() > 0;
    return {};
}

void VolumePreview::abort() { complete_ = false; }

std::vector<std::uint8_t> VolumePreview::projection(PreviewView view) const {
    const std::vector<std::uint32_t>& colour = views_[static_cast<int>(view)].colour;
    std::vector<std::uint8_t> rgba(colour.size() * 4);
    if (!colour.empty()) std::memcpy(rgba.data(), colour.data(), rgba.size());
    return rgba;
}

std::vector<int> VolumePreview::sampleSlices() const {
    std::vector<int> samples;
    const int n = std::max(info_.slices(), 0), count = std::min(options_.sampleCount, n);
    for (int k = 0; k < count; ++k) samples.push_back(int((std::int64_t(k) + 1) * n / (count + 1)));
    return samples;
}

bool VolumePreview::sliceKept(int s) const {
    return s >= 0 && s < int(slices_.size()) && !slices_[std::size_t(s)].empty();
}

std::vector<std::uint8_t> VolumePreview::slicePixels(int s) const {
    if (!sliceKept(s)) return {};
    std::vector<std::uint32_t> words;
    words.reserve(info_.slicePixels());
    const std::vector<std::uint32_t>& runs = slices_[std::size_t(s)];
    for (std::size_t i = 0; i + 1 < runs.size(); i += 2) words.insert(words.end(), runs[i], runs[i + 1]);
    std::vector<std::uint8_t> rgba(words.size() * 4);
    std::memcpy(rgba.data(), words.data(), rgba.size());
    return rgba;
}

namespace {

constexpr int kProjectionTile = 256;  // pixels, at most
constexpr int kGap = 8;                // pixels between and around tiles
constexpr std::uint8_t kBackground = 48;

// A picture and the tile it is drawn in: its pixels and its size on the
// canvas, at the picture's true proportions.
struct Tile {
    std::vector<std::uint8_t> picture;
    int width = 0, height = 0;          // picture pixels
    int tileWidth = 0, tileHeight = 0;  // canvas pixels
};

// The tile of a picture whose extent is `extent`, its longer side `most`
// canvas pixels (no more than the picture has along it).
Tile makeTile(std::vector<std::uint8_t> picture, int width, int height, VolumePreview::Extent extent, int most) {
    Tile tile;
    tile.picture = std::move(picture);
    tile.width = width;
    tile.height = height;
    double w = extent.width > 0 ? extent.width : width, h = extent.height > 0 ? extent.height : height;
    const int longest = std::min(most, std::max(width, height));
    const double scale = longest / std::max(w, h);
    tile.tileWidth = std::clamp(int(std::lround(w * scale)), 1, most);
    tile.tileHeight = std::clamp(int(std::lround(h * scale)), 1, most);
    return tile;
}

// Copies the tile's picture into the canvas at (left, top), resized to the
// tile by taking the nearest pixel.
void placeTile(std::vector<std::uint8_t>& canvas, int canvasWidth, const Tile& tile, int left, int top) {
    if (tile.picture.size() < std::size_t(tile.width) * std::size_t(tile.height) * 4) return;
    for (int y = 0; y < tile.tileHeight; ++y) {
        const int sy = int(std::int64_t(y) * tile.height / tile.tileHeight);
        for (int x = 0; x < tile.tileWidth; ++x) {
            const int sx = int(std::int64_t(x) * tile.width / tile.tileWidth);
            std::memcpy(&canvas[4 * (std::size_t(top + y) * std::size_t(canvasWidth) + std::size_t(left + x))],
                        &tile.picture[4 * (std::size_t(sy) * std::size_t(tile.width) + std::size_t(sx))], 4);
        }
    }
}

}  // namespace

WriteResult writePreviewPng(const VolumePreview& preview, const std::string& path) {
    if (preview.size() <= 0 || preview.sliceCount() <= 0) return writeFailure(path, "no volume to preview");
    std::vector<int> samples;
    for (int s : preview.sampleSlices())
        if (preview.sliceKept(s)) samples.push_back(s);

    const int tile = std::min(preview.size(), kProjectionTile), sampleTile = std::max(1, tile / 2);
    const PreviewView views[3] = {PreviewView::Front, PreviewView::Side, PreviewView::Top};
    std::vector<Tile> top, bottom;
    int topWidth = kGap, topHeight = 0, bottomWidth = kGap, bottomHeight = 0;
    for (PreviewView view : views) {
        top.push_back(makeTile(preview.projection(view), preview.projectionWidth(view),
                               preview.projectionHeight(view), preview.projectionExtent(view), tile));
        topWidth += top.back().tileWidth + kGap;
        topHeight = std::max(topHeight, top.back().tileHeight);
    }
    for (int s : samples) {
        bottom.push_back(makeTile(preview.slicePixels(s), preview.sliceWidth(), preview.sliceHeight(),
                                  preview.sliceExtent(), sampleTile));
        bottomWidth += bottom.back().tileWidth + kGap;
        bottomHeight = std::max(bottomHeight, bottom.back().tileHeight);
    }
    const int width = std::max(topWidth, bottomWidth);
    const int height = topHeight + 2 * kGap + (samples.empty() ? 0 : bottomHeight + kGap);
    std::vector<std::uint8_t> canvas(std::size_t(width) * std::size_t(height) * 4, kBackground);
    for (std::size_t i = 3; i < canvas.size(); i += 4) canvas[i] = 255;

    int left = kGap;
    for (const Tile& t : top) {
        placeTile(canvas, width, t, left, kGap);
        left += t.tileWidth + kGap;
    }
    left = kGap;
    for (const Tile& t : bottom) {
        placeTile(canvas, width, t, left, topHeight + 2 * kGap);
        left += t.tileWidth + kGap;
    }

    // Written beside the destination and renamed, so a failed write never
    // leaves half a picture under the final name.
    CheckedFile file;
    file.open(path, FileCommit::Replace);
    if (const IoResult written = writePngRGBA(file, width, height, canvas.data(), false); !written.ok)
        return writeFailure(written.path, written.reason);
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

PreviewPngWriter::PreviewPngWriter(std::string path)
    : path_(std::move(path)), preview_(VolumePreview::Options{false, 6, std::size_t(256) << 20}) {}

WriteResult PreviewPngWriter::end() {
    preview_.end();
    return writePreviewPng(preview_, path_);
}

}  // namespace kubelmar
