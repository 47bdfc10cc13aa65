#include "formats/preview_volume.h"

#include <algorithm>
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
    step_ = std::max(1, (info.size + kMaxProjection - 1) / kMaxProjection);
    projectionSize_ = (info.size + step_ - 1) / step_;
    const std::size_t pixels = std::size_t(projectionSize_) * std::size_t(projectionSize_);
    for (Projection& view : views_) {
        view.colour.assign(pixels, kBlack);
        view.depth.assign(pixels, static_cast<std::uint16_t>(info.size));
    }
    slices_.assign(std::size_t(info.size), {});
    keptBytes_ = 0;
    received_ = 0;
    complete_ = false;
    return {};
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
    const int n = info_.size, p = projectionSize_, step = step_;
    // Voxel indices along mesh x, y, z.
    int index[3] = {0, 0, 0};
    index[info_.sliceAxis.axis] = meshIndex(info_.sliceAxis, s, n);
    index[info_.rowAxis.axis] = meshIndex(info_.rowAxis, r, n);
    index[info_.columnAxis.axis] = meshIndex(info_.columnAxis, c, n);
    const int x = index[0], y = index[1], z = index[2];
    const int px = x / step, py = y / step, pz = z / step;
    const int up = p - 1 - py;  // image row of mesh y, the highest at the top
    // Depth 0 is the voxel layer nearest the viewer; the far side is shown
    // at half brightness.
    const int far = std::max(n - 1, 1);
    auto lit = [&](int depth) { return darken(word, 2 * far - depth, 2 * far); };
    project(views_[0], up * p + px, n - 1 - z, lit(n - 1 - z));
    project(views_[1], up * p + (p - 1 - pz), n - 1 - x, lit(n - 1 - x));
    project(views_[2], pz * p + px, n - 1 - y, lit(n - 1 - y));
}

WriteResult VolumePreview::slice(int s, const std::uint8_t* rgba) {
    const int n = info_.size;
    if (s < 0 || s >= n) return {};
    const bool colour = encodingHasColour(info_.encoding);
    const bool keep = wantSlice(s) && keptBytes_ < options_.sliceBudget;
    const bool projected = s % step_ == 0;
    std::vector<std::uint32_t> runs;

    for (int r = 0; r < n; ++r) {
        const std::uint8_t* row = rgba + 4 * std::size_t(r) * std::size_t(n);
        const bool projectRow = projected && r % step_ == 0;
        // Runs of one pixel value: a slice is mostly long runs of empty.
        for (int c = 0; c < n;) {
            const int end = runEnd(row, c, n);
            const std::uint8_t* p = row + 4 * std::size_t(c);
            std::uint32_t word = kBlack;
            if (voxelFilled(p, info_.encoding)) {
                word = colour ? packPixel(p[0], p[1], p[2]) : packPixel(255, 255, 255);
                if (projectRow)
                    for (int k = (c + step_ - 1) / step_ * step_; k < end; k += step_) projectVoxel(s, r, k, word);
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
    complete_ = received_ == info_.size && info_.size > 0;
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
    const int n = info_.size, count = std::min(options_.sampleCount, n);
    for (int k = 0; k < count; ++k) samples.push_back(int((std::int64_t(k) + 1) * n / (count + 1)));
    return samples;
}

bool VolumePreview::sliceKept(int s) const {
    return s >= 0 && s < int(slices_.size()) && !slices_[std::size_t(s)].empty();
}

std::vector<std::uint8_t> VolumePreview::slicePixels(int s) const {
    if (!sliceKept(s)) return {};
    std::vector<std::uint32_t> words;
    words.reserve(std::size_t(info_.size) * std::size_t(info_.size));
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

// Copies an n x n picture into the canvas at (left, top), shrunk to
// tile x tile by taking the nearest pixel.
void placeTile(std::vector<std::uint8_t>& canvas, int canvasWidth, const std::vector<std::uint8_t>& picture, int n,
               int tile, int left, int top) {
    for (int y = 0; y < tile; ++y) {
        const int sy = int(std::int64_t(y) * n / tile);
        for (int x = 0; x < tile; ++x) {
            const int sx = int(std::int64_t(x) * n / tile);
            std::memcpy(&canvas[4 * (std::size_t(top + y) * std::size_t(canvasWidth) + std::size_t(left + x))],
                        &picture[4 * (std::size_t(sy) * std::size_t(n) + std::size_t(sx))], 4);
        }
    }
}

}  // namespace

WriteResult writePreviewPng(const VolumePreview& preview, const std::string& path) {
    const int n = preview.size();
    if (n <= 0) return writeFailure(path, "no volume to preview");
    std::vector<int> samples;
    for (int s : preview.sampleSlices())
        if (preview.sliceKept(s)) samples.push_back(s);

    const int tile = std::min(n, kProjectionTile), sampleTile = std::max(1, tile / 2);
    const int width = std::max(3 * tile + 4 * kGap, int(samples.size()) * (sampleTile + kGap) + kGap);
    const int height = tile + 2 * kGap + (samples.empty() ? 0 : sampleTile + kGap);
    std::vector<std::uint8_t> canvas(std::size_t(width) * std::size_t(height) * 4, kBackground);
    for (std::size_t i = 3; i < canvas.size(); i += 4) canvas[i] = 255;

    const PreviewView views[3] = {PreviewView::Front, PreviewView::Side, PreviewView::Top};
    for (int v = 0; v < 3; ++v)
        placeTile(canvas, width, preview.projection(views[v]), preview.projectionSize(), tile,
                  kGap + v * (tile + kGap), kGap);
    for (std::size_t k = 0; k < samples.size(); ++k)
        placeTile(canvas, width, preview.slicePixels(samples[k]), n, sampleTile,
                  kGap + int(k) * (sampleTile + kGap), tile + 2 * kGap);

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
