// The dithers on synthetic volumes: every voxel one material, colour kept
// on average (CIEDE2000 over 16^3 blocks), ramps stay monotone, layers don't
// repeat, and the same input gives the same bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <set>

#include "colour/blue_noise.h"
#include "colour/colour_space.h"
#include "colour/palette_file.h"
#include "colour/print_stage.h"

namespace kubelmar {
namespace {

// Keeps every slice the stage writes.
class Capture final : public SliceConsumer {
public:
    WriteResult begin(const VolumeInfo& info) override {
        info_ = info;
        voxels_.assign(4 * sliceShape(info).pixels() * static_cast<std::size_t>(info.size), 0);
        return {};
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        const std::size_t bytes = 4 * sliceShape(info_).pixels();
        std::copy(rgba, rgba + bytes, voxels_.begin() + static_cast<std::ptrdiff_t>(bytes * s));
        return {};
    }
    WriteResult end() override { return {}; }
    const std::uint8_t* at(int s, int r, int c) const {
        const int n = info_.size;
        return &voxels_[4 * ((static_cast<std::size_t>(s) * n + r) * n + c)];
    }
    const VolumeInfo& info() const { return info_; }
    const std::vector<std::uint8_t>& bytes() const { return voxels_; }

private:
    VolumeInfo info_;
    std::vector<std::uint8_t> voxels_;
};

using Source = std::function<void(int s, int r, int c, std::uint8_t* rgba)>;

// Streams an n^3 volume of colours (the colour encoding) through a print
// stage with `palette` and `dither`.
Capture print(const MaterialPalette& palette, DitherMode dither, int n, const Source& source,
              SliceEncoding encoding = SliceEncoding::Colour) {
    PrintSettings settings;
    settings.palette = palette;
    settings.dither = dither;
    Capture capture;
    PrintStage stage(capture, settings);
    VolumeInfo info;
    setCubeGrid(info, n, 1.0f);
    info.encoding = encoding;
    EXPECT_TRUE(stage.begin(info).ok);
    std::vector<std::uint8_t> slice(4 * static_cast<std::size_t>(n) * n);
    for (int s = 0; s < n; ++s) {
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) source(s, r, c, &slice[4 * (static_cast<std::size_t>(r) * n + c)]);
        EXPECT_TRUE(stage.slice(s, slice.data()).ok);
    }
    EXPECT_TRUE(stage.end().ok);
    return capture;
}

MaterialPalette builtIn(const char* name) {
    MaterialPalette palette;
    EXPECT_TRUE(loadPalette(name, palette, nullptr));
    return palette;
}

// The mean colour (linear light) of the block of side `b` at (s, r, c).
LinearRgb blockMean(const Capture& volume, int s0, int r0, int c0, int bs, int br, int bc) {
    double sum[3] = {0, 0, 0};
    for (int s = s0; s < s0 + bs; ++s)
        for (int r = r0; r < r0 + br; ++r)
            for (int c = c0; c < c0 + bc; ++c) {
                const LinearRgb v = srgbToLinear(volume.at(s, r, c));
                for (int k = 0; k < 3; ++k) sum[k] += v[k];
            }
    const double count = double(bs) * br * bc;
    return {float(sum[0] / count), float(sum[1] / count), float(sum[2] / count)};
}

constexpr DitherMode kAllDithers[] = {DitherMode::None, DitherMode::Diffusion, DitherMode::BlueNoise};

TEST(Dither, EveryFilledVoxelIsExactlyOneMaterialAndEmptyStaysEmpty) {
    for (const char* name : {"cmyk", "rgb"}) {
        const MaterialPalette palette = builtIn(name);
        std::set<std::uint32_t> allowed;
        for (const PrintMaterial& m : palette.materials) {
            if (m.clear) continue;  // a colour never becomes clear
            const auto p = materialPixel(m);
            allowed.insert(std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]);
        }
        for (DitherMode dither : kAllDithers) {
            const int n = 24;
            auto colours = [](int s, int r, int c, std::uint8_t* p) {
                std::mt19937 random(static_cast<std::uint32_t>((s * 97 + r) * 131 + c));
                const bool filled = (s - 12) * (s - 12) + (r - 12) * (r - 12) + (c - 12) * (c - 12) < 100;
                for (int k = 0; k < 3; ++k) p[k] = filled ? static_cast<std::uint8_t>(1 + random() % 255) : 0;
                p[3] = 255;
            };
            const Capture out = print(palette, dither, n, colours);
            EXPECT_EQ(out.info().encoding, SliceEncoding::Material);
            long filled = 0;
            for (int s = 0; s < n; ++s)
                for (int r = 0; r < n; ++r)
                    for (int c = 0; c < n; ++c) {
                        std::uint8_t in[4];
                        colours(s, r, c, in);
                        const std::uint8_t* p = out.at(s, r, c);
                        const std::uint32_t word = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                                   std::uint32_t(p[2]) << 8 | p[3];
                        if (in[0] == 0) {
                            ASSERT_EQ(word, 0u) << name << ' ' << ditherName(dither);
                        } else {
                            ASSERT_TRUE(allowed.count(word)) << name << ' ' << ditherName(dither) << ' ' << std::hex << word;
                            ++filled;
                        }
                    }
            EXPECT_GT(filled, 3000);
        }
    }
    // An occupancy stack is all core: the palette's white, undithered.
    const MaterialPalette cmyk = builtIn("cmyk");
    const Capture solid = print(cmyk, DitherMode::Diffusion, 8, [](int, int r, int, std::uint8_t* p) {
        std::fill(p, p + 4, r < 4 ? 255 : 0);
    }, SliceEncoding::Occupancy);
    const auto white = materialPixel(cmyk.materials[cmyk.find("white")]);
    for (int s = 0; s < 8; ++s)
        for (int r = 0; r < 8; ++r) {
            const std::uint8_t* p = solid.at(s, r, 3);
            EXPECT_EQ(std::vector<std::uint8_t>(p, p + 4),
                      r < 4 ? std::vector<std::uint8_t>(white.begin(), white.end()) : std::vector<std::uint8_t>(4, 0));
        }
}

// An in-gamut target: a mix of the CMYK palette's materials in linear light.
std::array<std::uint8_t, 3> cmykMix(const MaterialPalette& palette, const std::array<float, 4>& weights) {
    const char* names[4] = {"cyan", "magenta", "yellow", "white"};
    float mix[3] = {0, 0, 0};
    for (int m = 0; m < 4; ++m) {
        const LinearRgb c = srgbToLinear(palette.materials[palette.find(names[m])].srgb.data());
        for (int k = 0; k < 3; ++k) mix[k] += weights[m] * c[k];
    }
    return {linearToSrgb(mix[0]), linearToSrgb(mix[1]), linearToSrgb(mix[2])};
}

TEST(Dither, EveryBlockOfAUniformSolidKeepsItsColour) {
    const MaterialPalette palette = builtIn("cmyk");
    const int n = 48, b = 16;
    for (const auto& weights : {std::array<float, 4>{0.3f, 0.1f, 0.1f, 0.5f}, std::array<float, 4>{0.05f, 0.45f, 0.3f, 0.2f}}) {
        const std::array<std::uint8_t, 3> target = cmykMix(palette, weights);
        const Lab want = linearToLab(srgbToLinear(target.data()));
        for (DitherMode dither : {DitherMode::Diffusion, DitherMode::BlueNoise}) {
            const Capture out = print(palette, dither, n, [&](int, int, int, std::uint8_t* p) {
                std::copy(target.begin(), target.end(), p);
                p[3] = 255;
            });
            double worst = 0;
            for (int s = 0; s < n; s += b)
                for (int r = 0; r < n; r += b)
                    for (int c = 0; c < n; c += b)
                        worst = std::max(worst, deltaE2000(linearToLab(blockMean(out, s, r, c, b, b, b)), want));
            EXPECT_LT(worst, 3.0) << ditherName(dither) << " target " << int(target[0]) << ',' << int(target[1]) << ','
                                  << int(target[2]);
        }
    }
}

TEST(Dither, ALinearRampStaysMonotoneAfterBlockAveraging) {
    for (const char* name : {"cmyk", "rgb"}) {
        const MaterialPalette palette = builtIn(name);
        const int n = 128, b = 16;
        for (DitherMode dither : {DitherMode::Diffusion, DitherMode::BlueNoise}) {
            // Grey, linear in light from 5% to 75% along the columns.
            const Capture out = print(palette, dither, n, [&](int s, int r, int c, std::uint8_t* p) {
                const bool inside = s < b && r < b;
                const std::uint8_t v = linearToSrgb(0.05f + 0.7f * static_cast<float>(c) / (n - 1));
                p[0] = p[1] = p[2] = inside ? v : 0;
                p[3] = 255;
            });
            float previous = -1;
            for (int c = 0; c < n; c += b) {
                const LinearRgb mean = blockMean(out, 0, 0, c, b, b, b);
                const float luminance = 0.2126f * mean[0] + 0.7152f * mean[1] + 0.0722f * mean[2];
                EXPECT_GT(luminance, previous) << name << ' ' << ditherName(dither) << " block at column " << c;
                previous = luminance;
            }
        }
    }
}

// Pearson correlation of one material's pattern in layers s and s + 1.
double layerCorrelation(const Capture& out, int s, const std::array<std::uint8_t, 4>& material) {
    const int n = out.info().size;
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, count = 0;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const double x = std::equal(material.begin(), material.end(), out.at(s, r, c));
            const double y = std::equal(material.begin(), material.end(), out.at(s + 1, r, c));
            sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y, ++count;
        }
    const double vx = sxx / count - (sx / count) * (sx / count), vy = syy / count - (sy / count) * (sy / count);
    return (sxy / count - sx / count * sy / count) / std::sqrt(vx * vy);
}

// A repeated layer correlates 1; printed, anything near it shows as lines up
// the walls. Independent patterns give about 0; error diffusion and blue
// noise leave a little either way (measured: at most 0.11 and 0.19,
// both negative). The threshold is 0.25 for every neighbouring pair.
TEST(Dither, NeighbouringLayersOfAUniformRegionDoNotRepeat) {
    const MaterialPalette palette = builtIn("cmyk");
    const std::array<std::uint8_t, 3> target = cmykMix(palette, {0.4f, 0.1f, 0.0f, 0.5f});
    const int n = 64;
    for (DitherMode dither : {DitherMode::Diffusion, DitherMode::BlueNoise}) {
        const Capture out = print(palette, dither, n, [&](int, int, int, std::uint8_t* p) {
            std::copy(target.begin(), target.end(), p);
            p[3] = 255;
        });
        // The material nearest half of the voxels: the most telling pattern.
        std::array<std::uint8_t, 4> busiest{};
        double best = 2;
        for (const PrintMaterial& m : palette.materials) {
            const auto pixel = materialPixel(m);
            long count = 0;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) count += std::equal(pixel.begin(), pixel.end(), out.at(n / 2, r, c));
            const double share = double(count) / (n * n);
            if (std::abs(share - 0.5) < best) {
                best = std::abs(share - 0.5);
                busiest = pixel;
            }
        }
        double worst = 0, sum = 0;
        for (int s = 4; s + 1 < n; ++s) {
            const double r = layerCorrelation(out, s, busiest);
            worst = std::max(worst, std::abs(r));
            sum += std::abs(r);
        }
        EXPECT_LT(worst, 0.25) << ditherName(dither);
        RecordProperty(std::string("meanAbsCorrelation_") + ditherName(dither), std::to_string(sum / (n - 5)));
    }
}

TEST(Dither, TheSameInputGivesTheSameBytes) {
    const MaterialPalette palette = builtIn("cmyk");
    auto colours = [](int s, int r, int c, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(s * 9 + c);
        p[1] = static_cast<std::uint8_t>(r * 7 + 40);
        p[2] = static_cast<std::uint8_t>(200 - c * 3);
        p[3] = 255;
    };
    for (DitherMode dither : kAllDithers)
        EXPECT_EQ(print(palette, dither, 32, colours).bytes(), print(palette, dither, 32, colours).bytes())
            << ditherName(dither);
    // The blue-noise tile is the seed's alone, and a permutation of its ranks.
    const BlueNoiseVolume a(7), b(7);
    std::set<float> thresholds;
    for (int z = 0; z < 32; ++z)
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                ASSERT_EQ(a.threshold(x, y, z), b.threshold(x, y, z));
                thresholds.insert(a.threshold(x, y, z));
            }
    EXPECT_EQ(thresholds.size(), 32u * 32 * 32);
}

}  // namespace
}  // namespace kubelmar
