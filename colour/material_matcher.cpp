#include "colour/material_matcher.h"

#include <algorithm>
#include <limits>

namespace kubelmar {

namespace {

float distance2(const LinearRgb& x, const LinearRgb& y) {
    const float d0 = x[0] - y[0], d1 = x[1] - y[1], d2 = x[2] - y[2];
    return d0 * d0 + d1 * d1 + d2 * d2;
}

// Plans kept at most: a texture has many colours, but memory stays bounded.
constexpr std::size_t kMaxPlans = 1 << 18;

}  // namespace

MaterialMatcher::MaterialMatcher(const MaterialPalette& palette) {
    for (std::size_t m = 0; m < palette.materials.size(); ++m) {
        const PrintMaterial& material = palette.materials[m];
        linear_.push_back(material.clear ? LinearRgb{0, 0, 0} : srgbToLinear(material.srgb.data()));
        const LinearRgb& c = linear_.back();
        luminance_.push_back(0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2]);
        if (!material.clear) opaque_.push_back(static_cast<int>(m));
    }
}

int MaterialMatcher::nearest(const LinearRgb& colour) const {
    int best = opaque_.empty() ? 0 : opaque_.front();
    float bestDistance = std::numeric_limits<float>::max();
    for (int m : opaque_) {
        const float d = distance2(colour, linear_[m]);
        if (d < bestDistance) {
            bestDistance = d;
            best = m;
        }
    }
    return best;
}

const MaterialMatcher::Plan& MaterialMatcher::plan(std::uint32_t rgb) {
    if (auto found = plans_.find(rgb); found != plans_.end()) return found->second;
    if (plans_.size() >= kMaxPlans) plans_.clear();
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                   static_cast<std::uint8_t>(rgb)};
    const LinearRgb target = srgbToLinear(bytes);
    // Greedy mixing: each step adds the material that brings the running
    // mean nearest the target, so the plan's mean follows the target as
    // error diffusion on a single point would.
    Plan plan{};
    LinearRgb sum = {0, 0, 0};
    for (int k = 0; k < kPlanLength; ++k) {
        int best = opaque_.front();
        float bestDistance = std::numeric_limits<float>::max();
        for (int m : opaque_) {
            LinearRgb mean;
            for (int c = 0; c < 3; ++c) mean[c] = (sum[c] + linear_[m][c]) / static_cast<float>(k + 1);
            const float d = distance2(mean, target);
            if (d < bestDistance) {
                bestDistance = d;
                best = m;
            }
        }
        plan[k] = static_cast<std::uint8_t>(best);
        for (int c = 0; c < 3; ++c) sum[c] += linear_[best][c];
    }
    std::stable_sort(plan.begin(), plan.end(), [&](std::uint8_t a, std::uint8_t b) { return luminance_[a] < luminance_[b]; });
    return plans_.emplace(rgb, plan).first->second;
}

}  // namespace kubelmar
