#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "colour/colour_space.h"
#include "volume/material_palette.h"

namespace kubelmar {

// The palette's opaque materials in linear light, and the two questions the
// dithers ask of them. Clear materials are never chosen for a colour.
class MaterialMatcher {
public:
    // Materials a mixing plan lists: the plan's mean is the target to
    // within about 1/kPlanLength of the step between materials.
    static constexpr int kPlanLength = 64;
    using Plan = std::array<std::uint8_t, kPlanLength>;

    explicit MaterialMatcher(const MaterialPalette& palette);

    // The opaque material nearest `colour` (Euclidean in linear light;
    // the lower index on a tie).
    int nearest(const LinearRgb& colour) const;
    // kPlanLength materials whose mean approaches the sRGB colour `rgb`
    // (packed 0xRRGGBB), darkest first: an ordered dither takes entry
    // floor(threshold * kPlanLength). Plans are kept for colours seen.
    const Plan& plan(std::uint32_t rgb);
    const LinearRgb& linear(int material) const { return linear_[material]; }

private:
    std::vector<int> opaque_;          // palette indices of the opaque materials
    std::vector<LinearRgb> linear_;    // per palette index (clear: black)
    std::vector<float> luminance_;     // per palette index
    std::unordered_map<std::uint32_t, Plan> plans_;
};

}  // namespace kubelmar
