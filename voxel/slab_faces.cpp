#include "voxel/slab_faces.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "mesh/mesh_frame.h"

namespace kubelmar {

namespace {

// Mesh units. The GL decides which side of a slab's plane a vertex lies on
// from rounded single-precision products: its error stays below 1e-4 units
// in the prepared cube (|coordinates| <= 1024, the axis views' rotations off
// by 4.4e-8), and the plane itself is rounded to a float (6e-5 units). Far
// below a voxel (0.5 units at N = 4096).
constexpr double kSlabMargin = 0.01;

float slabAxisValue(const Float3& p, int axis) { return axis == 0 ? p.y : axis == 1 ? p.z : p.x; }

// Eye x and y of a mesh point in each pass's view: XY (x, -z), XZ (x, -y),
// YZ (z, y). The pictures show the frame cube: eye -kFrameHalfSide ..
// kFrameHalfSide on both axes.
void eyeXY(const Float3& p, int pass, float& ex, float& ey) {
    if (pass == 0) { ex = p.x; ey = -p.z; }
    else if (pass == 1) { ex = p.x; ey = -p.y; }
    else { ex = p.z; ey = p.y; }
}

struct TripleHash {
    std::size_t operator()(const std::array<std::uint32_t, 3>& t) const {
        std::uint64_t h = t[0];
        h = h * 0x9E3779B97F4A7C15ull ^ t[1];
        h = h * 0x9E3779B97F4A7C15ull ^ t[2];
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

}  // namespace

std::vector<std::uint32_t> distinctFaces(const std::vector<std::uint32_t>& faceIndices) {
    const std::size_t faces = faceIndices.size() / 3;
    // Last occurrence of each face, found from the back.
    std::unordered_map<std::array<std::uint32_t, 3>, std::uint32_t, TripleHash> seen;
    seen.reserve(faces);
    std::vector<bool> keep(faces, false);
    std::size_t kept = 0;
    for (std::size_t f = faces; f-- > 0;) {
        const std::array<std::uint32_t, 3> t = {faceIndices[3 * f], faceIndices[3 * f + 1],
                                                faceIndices[3 * f + 2]};
        if (seen.emplace(t, static_cast<std::uint32_t>(f)).second) {
            keep[f] = true;
            ++kept;
        }
    }
    if (kept == faces) return faceIndices;
    std::vector<std::uint32_t> out;
    out.reserve(3 * kept);
    for (std::size_t f = 0; f < faces; ++f)
        if (keep[f]) out.insert(out.end(), &faceIndices[3 * f], &faceIndices[3 * f] + 3);
    return out;
}

void SlabFaces::build(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faceIndices,
                      const SlabState& slab) {
    positions_ = &positions;
    faceIndices_ = &faceIndices;
    size_ = slab.size;
    width_ = slab.width;
    height_ = slab.height;
    const int n = slab.size;
    const std::size_t faces = faceIndices.size() / 3;
    firstSlab_.resize(faces);
    lastSlab_.resize(faces);
    startOf_.assign(static_cast<std::size_t>(n) + 1, 0);
    for (std::size_t f = 0; f < faces; ++f) {
        float lo = INFINITY, hi = -INFINITY;
        for (int k = 0; k < 3; ++k) {
            const float v = slabAxisValue(positions[faceIndices[3 * f + k]], slab.axis);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        // Slab k covers [half - (k+1) step, half - k step]. A face farther
        // than kSlabMargin beyond a slab's plane is clipped away whole, so
        // it is listed only for the slabs its extent comes within that of.
        const double first = std::floor((slab.half - hi - kSlabMargin) / slab.gridStep);
        const double last = std::floor((slab.half - lo + kSlabMargin) / slab.gridStep);
        firstSlab_[f] = static_cast<std::uint32_t>(std::clamp(first, 0.0, n - 1.0));
        lastSlab_[f] = static_cast<std::uint32_t>(std::clamp(last, 0.0, n - 1.0));
        ++startOf_[firstSlab_[f] + 1];
    }
    for (int k = 0; k < n; ++k) startOf_[k + 1] += startOf_[k];
    byFirst_.resize(faces);
    std::vector<std::size_t> fill(startOf_.begin(), startOf_.end() - 1);
    for (std::size_t f = 0; f < faces; ++f) byFirst_[fill[firstSlab_[f]]++] = static_cast<std::uint32_t>(f);
    active_.clear();
}

const std::vector<std::uint32_t>& SlabFaces::advanceTo(int k) {
    const auto ended = [&](std::uint32_t f) { return lastSlab_[f] < static_cast<std::uint32_t>(k); };
    active_.erase(std::remove_if(active_.begin(), active_.end(), ended), active_.end());
    const auto first = byFirst_.begin() + static_cast<std::ptrdiff_t>(startOf_[k]);
    const auto last = byFirst_.begin() + static_cast<std::ptrdiff_t>(startOf_[k + 1]);
    if (first != last) {
        merged_.clear();
        std::merge(active_.begin(), active_.end(), first, last, std::back_inserter(merged_));
        active_.swap(merged_);
    }
    indices_.resize(active_.size() * 3);
    const std::vector<std::uint32_t>& all = *faceIndices_;
    for (std::size_t i = 0; i < active_.size(); ++i)
        std::copy_n(&all[3 * static_cast<std::size_t>(active_[i])], 3, &indices_[3 * i]);
    return indices_;
}

std::size_t SlabFaces::Cover::pixels() const {
    std::size_t total = 0;
    for (const Rect& r : parts) total += static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
    return total;
}

void SlabFaces::coverage(int pass, Cover& cover, int bandRows) const {
    cover.all = Rect();
    cover.parts.clear();
    if (indices_.empty()) return;
    // A read or a clear has a cost of its own: at least 16 rows a band.
    if (bandRows <= 0) bandRows = std::max(16, (height_ + 31) / 32);
    const int bands = (height_ + bandRows - 1) / bandRows;
    bandX0_.assign(static_cast<std::size_t>(bands), std::numeric_limits<int>::max());
    bandX1_.assign(static_cast<std::size_t>(bands), -1);
    bandY0_.assign(static_cast<std::size_t>(bands), std::numeric_limits<int>::max());
    bandY1_.assign(static_cast<std::size_t>(bands), -1);
    const double perPixelX = width_ / static_cast<double>(kFrameSide);
    const double perPixelY = height_ / static_cast<double>(kFrameSide);
    const double half = kFrameHalfSide;
    auto pixel = [&](float e, double perPixel) { return static_cast<int>(std::floor((e + half) * perPixel)); };
    for (std::size_t f = 0; f < indices_.size(); f += 3) {
        float x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
        for (int c = 0; c < 3; ++c) {
            float ex, ey;
            eyeXY((*positions_)[indices_[f + c]], pass, ex, ey);
            x0 = std::min(x0, ex);
            x1 = std::max(x1, ex);
            y0 = std::min(y0, ey);
            y1 = std::max(y1, ey);
        }
        const int px0 = std::max(0, pixel(x0, perPixelX) - 1), px1 = std::min(width_ - 1, pixel(x1, perPixelX) + 1);
        const int py0 = std::max(0, pixel(y0, perPixelY) - 1), py1 = std::min(height_ - 1, pixel(y1, perPixelY) + 1);
        if (px0 > px1 || py0 > py1) continue;
        for (int b = py0 / bandRows; b <= py1 / bandRows; ++b) {
            const auto i = static_cast<std::size_t>(b);
            bandX0_[i] = std::min(bandX0_[i], px0);
            bandX1_[i] = std::max(bandX1_[i], px1);
            bandY0_[i] = std::min(bandY0_[i], std::max(py0, b * bandRows));
            bandY1_[i] = std::max(bandY1_[i], std::min(py1, b * bandRows + bandRows - 1));
        }
    }
    int ax0 = width_, ay0 = height_, ax1 = -1, ay1 = -1;
    for (std::size_t b = 0; b < bandX0_.size(); ++b) {
        if (bandX1_[b] < 0) continue;
        const Rect band{bandX0_[b], bandY0_[b], bandX1_[b] - bandX0_[b] + 1, bandY1_[b] - bandY0_[b] + 1};
        ax0 = std::min(ax0, band.x);
        ax1 = std::max(ax1, band.x + band.width - 1);
        ay0 = std::min(ay0, band.y);
        ay1 = std::max(ay1, band.y + band.height - 1);
        // A band that follows the last part on the next row and barely
        // widens it joins it: fewer, larger reads.
        if (!cover.parts.empty()) {
            Rect& last = cover.parts.back();
            const int x0 = std::min(last.x, band.x), x1 = std::max(last.x + last.width, band.x + band.width);
            const std::size_t joined = static_cast<std::size_t>(x1 - x0) * (band.y + band.height - last.y);
            const std::size_t apart = static_cast<std::size_t>(last.width) * last.height +
                                      static_cast<std::size_t>(band.width) * band.height;
            if (last.y + last.height == band.y && 8 * joined <= 9 * apart) {
                last.x = x0;
                last.width = x1 - x0;
                last.height = band.y + band.height - last.y;
                continue;
            }
        }
        cover.parts.push_back(band);
    }
    if (cover.parts.empty()) return;
    cover.all = Rect{ax0, ay0, ax1 - ax0 + 1, ay1 - ay0 + 1};
}

}  // namespace kubelmar
