#include "colour/colour_space.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

namespace {

constexpr double kPi = 3.14159265358979323846;

const std::array<float, 256>& decodeTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            t[v] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

double labCurve(double t) {
    constexpr double e = 216.0 / 24389.0, k = 24389.0 / 27.0;
    return t > e ? std::cbrt(t) : (k * t + 16.0) / 116.0;
}

double degrees(double radians) { return radians * 180.0 / kPi; }
double radians(double degrees) { return degrees * kPi / 180.0; }

}  // namespace

float srgbToLinear(std::uint8_t value) { return decodeTable()[value]; }

LinearRgb srgbToLinear(const std::uint8_t rgb[3]) {
    return {srgbToLinear(rgb[0]), srgbToLinear(rgb[1]), srgbToLinear(rgb[2])};
}

std::uint8_t linearToSrgb(float value) {
    const double c = std::clamp(static_cast<double>(value), 0.0, 1.0);
    const double s = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(s * 255.0));
}

Lab linearToLab(const LinearRgb& rgb) {
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    // sRGB to XYZ (D65), then relative to the D65 white.
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = (0.2126729 * r + 0.7151522 * g + 0.0721750 * b) / 1.0;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = labCurve(x), fy = labCurve(y), fz = labCurve(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

// Sharma, Wu and Dalal's formulation (2005), which their test data checks.
double deltaE2000(const Lab& x, const Lab& y) {
    const double c1 = std::hypot(x.a, x.b), c2 = std::hypot(y.a, y.b);
    const double cMean = (c1 + c2) / 2;
    const double c7 = std::pow(cMean, 7);
    const double g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * x.a, a2 = (1 + g) * y.a;
    const double cp1 = std::hypot(a1, x.b), cp2 = std::hypot(a2, y.b);
    auto hue = [](double b, double a) {
        if (a == 0 && b == 0) return 0.0;
        const double h = degrees(std::atan2(b, a));
        return h < 0 ? h + 360 : h;
    };
    const double h1 = hue(x.b, a1), h2 = hue(y.b, a2);
    const double dL = y.l - x.l, dC = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0) {
        dh = h2 - h1;
        if (dh > 180) dh -= 360;
        if (dh < -180) dh += 360;
    }
    const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(dh / 2));
    const double lMean = (x.l + y.l) / 2, cpMean = (cp1 + cp2) / 2;
    double hMean = h1 + h2;
    if (cp1 * cp2 != 0) {
        if (std::abs(h1 - h2) <= 180)
            hMean /= 2;
        else
            hMean = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double t = 1 - 0.17 * std::cos(radians(hMean - 30)) + 0.24 * std::cos(radians(2 * hMean)) +
                     0.32 * std::cos(radians(3 * hMean + 6)) - 0.20 * std::cos(radians(4 * hMean - 63));
    const double dTheta = 30 * std::exp(-std::pow((hMean - 275) / 25, 2));
    const double cp7 = std::pow(cpMean, 7);
    const double rc = 2 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7)));
    const double l50 = (lMean - 50) * (lMean - 50);
    const double sl = 1 + 0.015 * l50 / std::sqrt(20 + l50);
    const double sc = 1 + 0.045 * cpMean;
    const double sh = 1 + 0.015 * cpMean * t;
    const double rt = -std::sin(radians(2 * dTheta)) * rc;
    const double tl = dL / sl, tc = dC / sc, th = dH / sh;
    return std::sqrt(tl * tl + tc * tc + th * th + rt * tc * th);
}

}  // namespace kubelmar
