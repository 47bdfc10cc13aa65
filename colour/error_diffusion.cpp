#include "colour/error_diffusion.h"

#include <algorithm>
#include <cstdint>

namespace kubelmar {

namespace {

// In-slice weights (Floyd-Steinberg, sixteenths scaled to 3/4) and the
// share of the next slice.
constexpr float kAhead = 7.0f / 16 * 0.75f;
constexpr float kBehindBelow = 3.0f / 16 * 0.75f;
constexpr float kBelow = 5.0f / 16 * 0.75f;
constexpr float kAheadBelow = 1.0f / 16 * 0.75f;
constexpr float kNextCentre = 1.0f / 16;
constexpr float kNextSide = 1.0f / 64;  // each of four

// Threshold modulation: a voxel compares its colour plus a little
// deterministic noise (a hash of its place, up to this much in linear
// light either way) when it picks a material, but passes on the error of
// its true colour, so the mean is kept. Without it a uniform colour settles
// into a regular pattern whose next layer is its complement.
constexpr float kNoise = 0.12f;

float noiseAt(int s, int r, int c) {
    std::uint32_t h = static_cast<std::uint32_t>(s) * 0x9E3779B1u ^ static_cast<std::uint32_t>(r) * 0x85EBCA77u ^
                      static_cast<std::uint32_t>(c) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (static_cast<float>(h >> 8) / 16777216.0f - 0.5f) * 2 * kNoise;
}

// An accumulated colour is held to this margin around the gamut cube, so
// an out-of-gamut colour can't build up error without bound.
constexpr float kLow = -0.5f, kHigh = 1.5f;

bool coloured(const std::uint8_t* role, std::size_t p) {
    return role[p] == static_cast<std::uint8_t>(VoxelRole::Coloured);
}

}  // namespace

ErrorDiffusionDitherer::ErrorDiffusionDitherer(const MaterialPalette& palette) : matcher_(palette) {}

void ErrorDiffusionDitherer::begin(const SliceShape& shape) {
    shape_ = shape;
    error_.assign(3 * shape.pixels(), 0.0f);
    next_.assign(3 * shape.pixels(), 0.0f);
}

void ErrorDiffusionDitherer::dither(int s, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) {
    const int width = shape_.width, height = shape_.height;
    // The scan's frame: lines along u, positions along v, mapped onto the
    // slice by the slice's orientation.
    const int orientation = s & 7;
    const bool transposed = orientation & 1;
    const bool linesBackwards = orientation & 2;
    const bool startBackwards = orientation & 4;
    const int lines = transposed ? width : height;
    const int length = transposed ? height : width;
    auto pixelAt = [&](int u, int v) -> long {
        if (u < 0 || u >= lines || v < 0 || v >= length) return -1;
        const int line = linesBackwards ? lines - 1 - u : u;
        const int r = transposed ? v : line, c = transposed ? line : v;
        return static_cast<long>(r) * width + c;
    };
    std::fill(next_.begin(), next_.end(), 0.0f);
    for (int u = 0; u < lines; ++u) {
        const int d = ((u & 1) != 0) != startBackwards ? -1 : 1;
        for (int i = 0; i < length; ++i) {
            const int v = d > 0 ? i : length - 1 - i;
            const std::size_t p = static_cast<std::size_t>(pixelAt(u, v));
            if (!coloured(role, p)) continue;
            LinearRgb value = srgbToLinear(rgba + 4 * p);
            for (int c = 0; c < 3; ++c) value[c] = std::clamp(value[c] + error_[3 * p + c], kLow, kHigh);
            const int r0 = static_cast<int>(p / static_cast<std::size_t>(width));
            const int c0 = static_cast<int>(p % static_cast<std::size_t>(width));
            const float jitter = noiseAt(s, r0, c0);
            const int m = matcher_.nearest({value[0] + jitter, value[1] + jitter, value[2] + jitter});
            material[p] = static_cast<std::uint8_t>(m);
            float left[3];
            for (int c = 0; c < 3; ++c) left[c] = value[c] - matcher_.linear(m)[c];

            // Receivers in this slice that can take error, renormalised with
            // the next slice's share so that none is lost inside the solid.
            const long inSlice[4] = {pixelAt(u, v + d), pixelAt(u + 1, v - d), pixelAt(u + 1, v),
                                     pixelAt(u + 1, v + d)};
            const float weights[4] = {kAhead, kBehindBelow, kBelow, kAheadBelow};
            float total = kNextCentre + 4 * kNextSide;
            for (int k = 0; k < 4; ++k)
                if (inSlice[k] >= 0 && coloured(role, static_cast<std::size_t>(inSlice[k]))) total += weights[k];
            for (int k = 0; k < 4; ++k) {
                if (inSlice[k] < 0 || !coloured(role, static_cast<std::size_t>(inSlice[k]))) continue;
                float* e = &error_[3 * static_cast<std::size_t>(inSlice[k])];
                for (int c = 0; c < 3; ++c) e[c] += left[c] * weights[k] / total;
            }
            const int dr[5] = {0, -1, 1, 0, 0}, dc[5] = {0, 0, 0, -1, 1};
            for (int k = 0; k < 5; ++k) {
                const int rr = r0 + dr[k], cc = c0 + dc[k];
                const float w = (k == 0 ? kNextCentre : kNextSide) / total;
                // Off the slice: the share stays with the voxel below.
                const std::size_t q = rr < 0 || rr >= height || cc < 0 || cc >= width
                                          ? p
                                          : static_cast<std::size_t>(rr) * width + cc;
                for (int c = 0; c < 3; ++c) next_[3 * q + c] += left[c] * w;
            }
        }
    }
    // What arrives at a voxel that is not coloured in the next slice is
    // dropped there.
    error_.swap(next_);
}

}  // namespace kubelmar
