#pragma once

#include <array>
#include <cstdint>

namespace kubelmar {

// Linear-light RGB (sRGB primaries, D65), 0..1 per channel when in gamut.
// Colours are mixed here: the eye averages light, not sRGB bytes.
using LinearRgb = std::array<float, 3>;

// CIELAB under D65, L* 0..100.
struct Lab {
    double l = 0, a = 0, b = 0;
};

// One sRGB byte to linear light (the standard piecewise curve), by table.
float srgbToLinear(std::uint8_t value);
LinearRgb srgbToLinear(const std::uint8_t rgb[3]);
// Linear light to the nearest sRGB byte (clamped to 0..255).
std::uint8_t linearToSrgb(float value);

Lab linearToLab(const LinearRgb& rgb);

// CIEDE2000 colour difference (kL = kC = kH = 1): about 1 is the smallest
// difference an eye notices side by side.
double deltaE2000(const Lab& x, const Lab& y);

}  // namespace kubelmar
