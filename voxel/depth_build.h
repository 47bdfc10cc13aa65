#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kubelmar {

// One depth picture as read back: N x N grey levels, top row first,
// grey(column, row) at [row * N + column]; 255 is the background (nothing
// seen).
using GreyImage = std::vector<std::uint8_t>;
// The same picture at full precision: window depth 0 (nearest) .. 1
// (background), same layout.
using DepthImage = std::vector<float>;

// Grey level of an RGB pixel as both modes read their pictures.
inline int greyLevel(int r, int g, int b) { return (11 * r + 16 * g + 5 * b) / 32; }

// A depth grey level as a voxel index bound: (value / 255) * (N - 1),
// rounded to single precision.
float depthBound(int value, int size);

// Builds the depth-buffer mode's occupancy slices from the six axis depth
// pictures (view order +x, -x, +y, -y, +z, -z as the axis views number
// them). Voxel (slice i, row j, column k) is filled when it lies between the
// nearest surfaces seen from both sides along all three axes. Only index
// bounds of size N x N are kept, never the volume.
class OccupancyBuilder {
public:
    // 8-bit pictures: a grey level g bounds the index at (g / 255)(N - 1).
    void prepare(const std::array<GreyImage, 6>& images, int size);
    // Full precision: a voxel is filled when its centre lies between the
    // surfaces, exact to the voxel.
    void prepare(const std::array<DepthImage, 6>& images, int size);
    // Slice i as occupancy pixels: N x N RGBA, (255, 255, 255, 255) filled,
    // (0, 0, 0, 0) empty, row j at the top first.
    void buildSlice(int i, std::uint8_t* rgba) const;
    int size() const { return size_; }

private:
    // limits[v]: for each pixel of view v the lowest (near views) or highest
    // (far views) index the surface it shows admits.
    void arrange(const std::array<std::vector<std::int16_t>, 6>& limits);

    int size_ = 0;
    std::vector<std::int16_t> iLow_, iHigh_, jLow_, jHigh_, kFirst_, kLast_;
};

}  // namespace kubelmar
