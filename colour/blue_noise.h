#pragma once

#include <cstdint>
#include <vector>

#include "colour/ditherer.h"
#include "colour/material_matcher.h"

namespace kubelmar {

// A 32 x 32 x 32 tile of thresholds whose every level set is spread evenly
// in 3D (blue noise, by Ulichney's void-and-cluster method with a Gaussian
// of sigma 1.5 voxels, on a torus so that the tile repeats without seams).
// Built once per process from a fixed seed: the same on every run and
// every machine.
class BlueNoiseVolume {
public:
    static constexpr int kSide = 32;
    static const BlueNoiseVolume& shared();
    explicit BlueNoiseVolume(std::uint32_t seed);
    // In (0, 1), each value once per tile; x, y, z wrap.
    float threshold(int x, int y, int z) const {
        const std::size_t i = (static_cast<std::size_t>(z & (kSide - 1)) * kSide + (y & (kSide - 1))) * kSide +
                              (x & (kSide - 1));
        return (static_cast<float>(rank_[i]) + 0.5f) / static_cast<float>(rank_.size());
    }

private:
    std::vector<std::uint16_t> rank_;
};

// Ordered dithering on the blue-noise tile: each colour is split into a
// plan of materials whose mean is the colour (MaterialMatcher::plan), and
// the voxel's threshold picks one entry. The tile runs through the slices
// too, so neighbouring layers have different patterns, and each voxel is
// decided alone: no error travels, nothing depends on the scan.
class BlueNoiseDitherer final : public Ditherer {
public:
    explicit BlueNoiseDitherer(const MaterialPalette& palette);
    void begin(const SliceShape& shape) override { shape_ = shape; }
    void dither(int s, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) override;

private:
    MaterialMatcher matcher_;
    const BlueNoiseVolume* noise_ = nullptr;
    SliceShape shape_;
};

}  // namespace kubelmar
