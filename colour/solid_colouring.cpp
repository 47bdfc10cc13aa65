#include "colour/solid_colouring.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace kubelmar {

namespace {

constexpr float kFar = std::numeric_limits<float>::infinity();

}  // namespace

SolidColouring::SolidColouring(PrintStage& next, double depth) : next_(next), depth_(std::max(depth, 0.0)) {}

WriteResult SolidColouring::begin(const VolumeInfo& info) {
    shape_ = sliceShape(info);
    edges_ = stackVoxelEdges(info);
    reach_ = static_cast<int>(std::floor(depth_ / edges_[2]));
    reach_ = std::min(reach_, std::max(shape_.count - 1, 0));
    window_.assign(static_cast<std::size_t>(2 * reach_ + 1), Layer{});
    const std::size_t pixels = shape_.pixels();
    near_.assign(pixels, 0);
    pending_ = -1;
    received_ = 0;
    rgba_.assign(4 * pixels, 0);
    role_.assign(pixels, 0);
    return next_.begin(info);
}

void SolidColouring::forget(const Layer& layer) {
    if (layer.slice < 0) return;
    for (const Near& n : layer.near) --near_[n.pixel];
}

void SolidColouring::surfaceColours(int s, const std::uint8_t* rgba) {
    Layer& layer = layerOf(s);
    // The slot's slice left the window when the one after it went out.
    forget(layer);
    layer.slice = s;
    layer.near.clear();
    if (rgba) transform(rgba, layer);
    for (const Near& n : layer.near) ++near_[n.pixel];
    pending_ = s;
}

void SolidColouring::transform(const std::uint8_t* rgba, Layer& layer) {
    const int width = shape_.width, height = shape_.height;
    const std::size_t pixels = shape_.pixels();
    const double er = edges_[0], ec = edges_[1];
    const double limit2 = depth_ * depth_;
    rowDistance2_.assign(pixels, kFar);
    rowNearest_.assign(pixels, -1);
    bool any = false;
    // Along each row: the nearest touched voxel left or right (the left one
    // on a tie).
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* row = rgba + 4 * static_cast<std::size_t>(r) * width;
        float* d2 = &rowDistance2_[static_cast<std::size_t>(r) * width];
        int* nearest = &rowNearest_[static_cast<std::size_t>(r) * width];
        int last = -1;
        for (int c = 0; c < width; ++c) {
            if (row[4 * c + 3]) last = c;
            if (last >= 0) {
                const double d = (c - last) * ec;
                d2[c] = static_cast<float>(d * d);
                nearest[c] = last;
            }
        }
        if (last < 0) continue;
        any = true;
        last = -1;
        for (int c = width - 1; c >= 0; --c) {
            if (row[4 * c + 3]) last = c;
            if (last >= 0) {
                const double d = (last - c) * ec;
                if (d * d < d2[c]) {
                    d2[c] = static_cast<float>(d * d);
                    nearest[c] = last;
                }
            }
        }
    }
    if (!any) return;
    distance2_.assign(pixels, kFar);
    colour_.resize(pixels);
    bool reached = false;
    // Down each column: the lower envelope of the parabolas
    // (r - q)^2 er^2 + rowDistance2(q) over the rows q that have one within
    // the depth (one farther can't bring any pixel within it).
    hullAt_.resize(static_cast<std::size_t>(height));
    hullFrom_.resize(static_cast<std::size_t>(height) + 1);
    columnF_.resize(static_cast<std::size_t>(height));
    const double er2 = er * er;
    for (int c = 0; c < width; ++c) {
        int k = -1;
        for (int q = 0; q < height; ++q) {
            const float g = rowDistance2_[static_cast<std::size_t>(q) * width + c];
            if (!(g <= limit2)) continue;
            const double fq = g / er2 + double(q) * q;  // the parabola's offset, in rows^2
            columnF_[q] = g / er2;
            double from = -std::numeric_limits<double>::infinity();
            while (k >= 0) {
                const int p = hullAt_[k];
                from = (fq - (columnF_[p] + double(p) * p)) / (2.0 * (q - p));
                if (from > hullFrom_[k]) break;
                --k;
                from = -std::numeric_limits<double>::infinity();
            }
            ++k;
            hullAt_[k] = q;
            hullFrom_[k] = from;
        }
        if (k < 0) continue;
        int j = 0;
        for (int r = 0; r < height; ++r) {
            while (j < k && hullFrom_[j + 1] < r) ++j;
            const int q = hullAt_[j];
            const double d2 = ((r - q) * (r - q) + columnF_[q]) * er2;
            if (d2 > limit2) continue;
            const std::size_t p = static_cast<std::size_t>(r) * width + c;
            const int seedColumn = rowNearest_[static_cast<std::size_t>(q) * width + c];
            const std::uint8_t* seed = rgba + 4 * (static_cast<std::size_t>(q) * width + seedColumn);
            distance2_[p] = static_cast<float>(d2);
            colour_[p] = static_cast<std::uint32_t>(seed[0]) << 16 | static_cast<std::uint32_t>(seed[1]) << 8 | seed[2];
            reached = true;
        }
    }
    if (!reached) return;
    // Kept in pixel order: emit() walks it beside the slice.
    for (std::size_t p = 0; p < pixels; ++p)
        if (distance2_[p] != kFar) layer.near.push_back({static_cast<std::uint32_t>(p), distance2_[p], colour_[p]});
    layer.near.shrink_to_fit();
}

WriteResult SolidColouring::slice(int s, const std::uint8_t* rgba) {
    if (pending_ != s) surfaceColours(s, nullptr);  // no surface reached this slice
    Layer& layer = layerOf(s);
    const std::size_t pixels = shape_.pixels();
    layer.filled.resize(pixels);
    for (std::size_t p = 0; p < pixels; ++p) layer.filled[p] = voxelFilled(rgba + 4 * p, SliceEncoding::Occupancy);
    received_ = s + 1;
    return s >= reach_ ? emit(s - reach_) : WriteResult{};
}

WriteResult SolidColouring::emit(int s) {
    const Layer& here = layerOf(s);
    const std::size_t pixels = shape_.pixels();
    cursor_.assign(window_.size(), 0);
    const double limit2 = depth_ * depth_;
    const double es2 = edges_[2] * edges_[2];
    for (std::size_t p = 0; p < pixels; ++p) {
        if (!here.filled[p]) {
            role_[p] = static_cast<std::uint8_t>(VoxelRole::Empty);
            continue;
        }
        role_[p] = static_cast<std::uint8_t>(VoxelRole::Core);
        if (near_[p] == 0) continue;
        // The nearest layers first: once the slice distance alone is past
        // the best found, no farther layer can do better.
        // near_ counts the window's layers with an entry here (at the end of
        // the stack, perhaps a few more): once that many are seen, no other
        // layer can offer one.
        double best = kFar;
        std::uint32_t colour = 0;
        int seen = 0;
        for (int dz = 0; dz <= reach_ && seen < near_[p]; ++dz) {
            const double dz2 = dz * dz * es2;
            if (dz2 > best || dz2 > limit2) break;
            for (int k : {s - dz, s + dz}) {
                if (k < 0 || k >= received_) continue;
                const std::size_t slot = static_cast<std::size_t>(k) % window_.size();
                const Layer& layer = window_[slot];
                if (layer.slice != k) continue;
                // Pixels come in order: each layer's cursor only moves on.
                std::size_t& at = cursor_[slot];
                while (at < layer.near.size() && layer.near[at].pixel < p) ++at;
                if (at == layer.near.size() || layer.near[at].pixel != p) continue;
                ++seen;
                const double d2 = dz2 + layer.near[at].distance2;
                if (d2 < best) {
                    best = d2;
                    colour = layer.near[at].colour;
                }
                if (dz == 0) break;
            }
        }
        if (best > limit2) continue;
        role_[p] = static_cast<std::uint8_t>(VoxelRole::Coloured);
        std::uint8_t* o = &rgba_[4 * p];
        o[0] = static_cast<std::uint8_t>(colour >> 16);
        o[1] = static_cast<std::uint8_t>(colour >> 8);
        o[2] = static_cast<std::uint8_t>(colour);
        o[3] = 255;
    }
    // Its occupancy is not needed again: only the slices still to go out
    // keep theirs.
    std::vector<std::uint8_t>().swap(layerOf(s).filled);
    return next_.colouredSlice(s, rgba_.data(), role_.data());
}

WriteResult SolidColouring::end() {
    for (int s = std::max(0, received_ - reach_); s < received_; ++s)
        if (WriteResult emitted = emit(s); !emitted.ok) return emitted;
    return next_.end();
}

}  // namespace kubelmar
