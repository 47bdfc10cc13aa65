#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "volume/slice_rows.h"

namespace kubelmar {

// One depth picture as read back: W x H grey levels, top row first,
// grey(column, row) at [row * W + column]; 255 is the background (nothing
// seen). Views 0 and 1 are nx x ny, 2 and 3 nz x ny, 4 and 5 nx x nz.
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
// nearest surfaces seen from both sides along all three axes. Slice i runs
// along +z (nz slices), row j down from +y (ny), column k down from +x (nx).
// Only index bounds per pair of axes are kept, never the volume.
class OccupancyBuilder {
public:
    // 8-bit pictures: a grey level g bounds the index at (g / 255)(n - 1),
    // n the voxels along the view's axis. `dims`: voxels along x, y, z.
    void prepare(const std::array<GreyImage, 6>& images, std::array<int, 3> dims);
    // Full precision: a voxel is filled when its centre lies between the
    // surfaces, exact to the voxel.
    void prepare(const std::array<DepthImage, 6>& images, std::array<int, 3> dims);
    // The N^3 cube.
    void prepare(const std::array<GreyImage, 6>& images, int size) { prepare(images, {size, size, size}); }
    void prepare(const std::array<DepthImage, 6>& images, int size) { prepare(images, {size, size, size}); }
    // Slice i as occupancy pixels: nx x ny RGBA, (255, 255, 255, 255) filled,
    // (0, 0, 0, 0) empty, row j at the top first.
    void buildSlice(int i, std::uint8_t* rgba) const;
    // The same into a buffer that holds the slice built before it with
    // these `rows` (a fresh SliceRows: any buffer), clearing only the spans
    // that slice marked; `rows` then holds this slice's spans.
    void buildSlice(int i, std::uint8_t* rgba, SliceRows& rows) const;
    int size() const { return dims_[0]; }
    const std::array<int, 3>& dims() const { return dims_; }

private:
    // limits[v]: for each pixel of view v the lowest (near views) or highest
    // (far views) index the surface it shows admits.
    void arrange(const std::array<std::vector<std::int16_t>, 6>& limits);

    std::array<int, 3> dims_ = {0, 0, 0};
    std::vector<std::int16_t> iLow_, iHigh_, jLow_, jHigh_, kFirst_, kLast_;
};

}  // namespace kubelmar
