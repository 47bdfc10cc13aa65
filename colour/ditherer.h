#pragma once

#include <cstdint>
#include <memory>

#include "colour/print_settings.h"
#include "volume/material_palette.h"
#include "volume/slice_shape.h"

namespace kubelmar {

// What a voxel is to the dither.
enum class VoxelRole : std::uint8_t {
    Empty = 0,     // stays empty
    Core = 1,      // takes the core's material, undithered
    Coloured = 2,  // its colour is dithered into the palette's opaque materials
};

// Turns one slice's coloured voxels into material indices. Slices come in
// order 0 .. count-1 after begin(); a dither may carry state from one slice
// to the next (the error, the layer's pattern), never more than a slice or
// two of it.
class Ditherer {
public:
    virtual ~Ditherer() = default;
    virtual void begin(const SliceShape& shape) = 0;
    // `rgba`: the slice's sRGB colours (RGBA, row-major, row 0 at the top);
    // `role`: one VoxelRole per pixel. Writes `material[p]` for every
    // Coloured pixel and leaves the others as they are.
    virtual void dither(int s, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) = 0;
};

std::unique_ptr<Ditherer> makeDitherer(DitherMode mode, const MaterialPalette& palette);

}  // namespace kubelmar
