#pragma once

#include <vector>

#include "colour/ditherer.h"
#include "colour/material_matcher.h"

namespace kubelmar {

// Error diffusion in 3D, in linear light. Each coloured voxel takes the
// material nearest its colour plus the error it was handed; what is left
// over goes three quarters to the voxels after it in the slice (Floyd and
// Steinberg's four neighbours, in the scan's own frame) and a quarter to
// the next slice (the voxel below and, less, its four neighbours). Only
// coloured voxels pass error on or take it, so the core and the empty
// space stay plain and no colour leaks across the surface.
//
// The scan changes from slice to slice so that no layer repeats its
// neighbour's pattern (printed, a repeated pattern shows as lines up the
// side): slice s scans along rows or along columns, from either end, and
// starts its serpentine in either direction, cycling through all eight.
class ErrorDiffusionDitherer final : public Ditherer {
public:
    explicit ErrorDiffusionDitherer(const MaterialPalette& palette);
    void begin(const SliceShape& shape) override;
    void dither(int s, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) override;

private:
    MaterialMatcher matcher_;
    SliceShape shape_;
    std::vector<float> error_;  // 3 per pixel: handed to this slice
    std::vector<float> next_;   // 3 per pixel: for the next slice
};

}  // namespace kubelmar
