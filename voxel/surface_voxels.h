#pragma once

#include <cstdint>
#include <vector>

#include "volume/slice_rows.h"

namespace kubelmar {

// The surface voxels two slicing passes drew, kept per output slice in the
// order they were drawn: memory grows with the surface, not with the volume.
// Each entry packs the voxel's place in its slice (row * W + column, below
// 2^28 for slices up to 16384 x 16384) over its colour (0xRRGGBB).
class SurfaceVoxels {
public:
    // `slices` slices of rows `width` voxels long.
    void reset(int slices, int width);
    void add(int slice, int row, int column, std::uint32_t rgb) {
        const std::uint64_t place = static_cast<std::uint64_t>(row) * width_ + column;
        slices_[slice].push_back(place << 24 | rgb);
    }
    // Paints slice s's entries, in the order they were added, over an
    // W x H RGBA picture (row 0 at the top), each staying opaque, and marks
    // each painted voxel's row and column in `rows`.
    void paint(int slice, std::uint8_t* rgba, SliceRows& rows) const;
    // Frees slice s once it is written.
    void release(int slice);
    std::size_t count() const;

private:
    int width_ = 0;
    std::vector<std::vector<std::uint64_t>> slices_;
};

}  // namespace kubelmar
