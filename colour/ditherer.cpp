#include "colour/ditherer.h"

#include "colour/blue_noise.h"
#include "colour/error_diffusion.h"
#include "colour/material_matcher.h"

namespace kubelmar {

namespace {

// Each voxel its nearest material: flat areas stay one material, and a
// colour between materials snaps to one of them.
class NearestDitherer final : public Ditherer {
public:
    explicit NearestDitherer(const MaterialPalette& palette) : matcher_(palette) {}
    void begin(const SliceShape& shape) override { shape_ = shape; }
    void dither(int, const std::uint8_t* rgba, const std::uint8_t* role, std::uint8_t* material) override {
        for (std::size_t p = 0; p < shape_.pixels(); ++p)
            if (role[p] == static_cast<std::uint8_t>(VoxelRole::Coloured))
                material[p] = static_cast<std::uint8_t>(matcher_.nearest(srgbToLinear(rgba + 4 * p)));
    }

private:
    MaterialMatcher matcher_;
    SliceShape shape_;
};

}  // namespace

std::unique_ptr<Ditherer> makeDitherer(DitherMode mode, const MaterialPalette& palette) {
    switch (mode) {
        case DitherMode::Diffusion: return std::make_unique<ErrorDiffusionDitherer>(palette);
        case DitherMode::BlueNoise: return std::make_unique<BlueNoiseDitherer>(palette);
        case DitherMode::None: break;
    }
    return std::make_unique<NearestDitherer>(palette);
}

}  // namespace kubelmar
