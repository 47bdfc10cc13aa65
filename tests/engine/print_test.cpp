// Printing through the engine on a headless context: the colour depth's
// boundary against a CPU distance from the exactly touched voxels, and a
// textured ball whose dithered blocks keep the texture's colour, the same
// bytes on every run.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "colour/colour_space.h"
#include "colour/palette_file.h"
#include "formats/png_io.h"
#include "tests/support/gl_test_support.h"
#include "tests/support/touched_cells.h"

namespace kubelmar::test {
namespace {

// A box turned about two axes, one vertex colour all over.
std::string tiltedBox() {
    std::ostringstream o;
    const double ca = std::cos(0.5), sa = std::sin(0.5), cb = std::cos(0.3), sb = std::sin(0.3);
    for (int v = 0; v < 8; ++v) {
        const double x = (v & 1) ? 0.45 : -0.45, y = (v & 2) ? 0.3 : -0.3, z = (v & 4) ? 0.38 : -0.38;
        const double x1 = ca * x - sa * y, y1 = sa * x + ca * y;
        const double y2 = cb * y1 - sb * z, z2 = sb * y1 + cb * z;
        o << "v " << x1 << ' ' << y2 << ' ' << z2 << " 0.2 0.6 0.9\n";
    }
    o << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    return o.str();
}

// Frame cell (x, y, z) of stack voxel (s, r, c), as the volume's axes say.
std::array<int, 3> cellOf(const VolumeInfo& info, int s, int r, int c) {
    const int n = info.size;
    std::array<int, 3> cell{};
    const SignedAxis axes[3] = {info.sliceAxis, info.rowAxis, info.columnAxis};
    const int index[3] = {s, r, c};
    for (int k = 0; k < 3; ++k) cell[axes[k].axis] = axes[k].sign > 0 ? index[k] : n - 1 - index[k];
    return cell;
}

TEST(Print, AVoxelWithinTheDepthIsColouredAndOnePastItIsCore) {
    KUBELMAR_REQUIRE_GL();
    const int n = 28;
    for (VoxelMode mode : {VoxelMode::Parity, VoxelMode::DepthBuffer}) {
        EngineFixture plain(n, mode);
        plain.settings.depthPrecision = DepthPrecision::Full;
        ASSERT_TRUE(plain.load(tiltedBox()));
        ASSERT_TRUE(plain.run().ok);
        const std::vector<char> touched = touchedCells(plain.engine.mesh(), n);
        std::vector<std::array<int, 3>> seeds;
        for (int z = 0; z < n; ++z)
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    if (touched[(static_cast<std::size_t>(z) * n + y) * n + x]) seeds.push_back({x, y, z});
        for (double depth : {0.0, 2.0, 3.0}) {
            EngineFixture printed(n, mode);
            printed.settings.depthPrecision = DepthPrecision::Full;
            printed.settings.print.colourDepth = depth;
            ASSERT_TRUE(printed.load(tiltedBox()));
            ASSERT_TRUE(printed.run().ok);
            ASSERT_EQ(printed.volume.info().encoding, SliceEncoding::Colour);
            long coloured = 0, core = 0;
            for (int s = 0; s < n; ++s)
                for (int r = 0; r < n; ++r)
                    for (int c = 0; c < n; ++c) {
                        ASSERT_EQ(plain.volume.filled(s, r, c), printed.volume.filled(s, r, c)) << s << ' ' << r << ' ' << c;
                        if (!plain.volume.filled(s, r, c)) continue;
                        const std::array<int, 3> cell = cellOf(plain.volume.info(), s, r, c);
                        int best = 1 << 30;
                        for (const auto& q : seeds) {
                            const int dx = q[0] - cell[0], dy = q[1] - cell[1], dz = q[2] - cell[2];
                            best = std::min(best, dx * dx + dy * dy + dz * dz);
                        }
                        const std::uint8_t* p = printed.volume.at(s, r, c);
                        const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
                        if (best <= depth * depth) {
                            // The vertex colour (0.2, 0.6, 0.9), as the surface voxels have it.
                            EXPECT_TRUE(p[0] == 51 && p[1] == 153 && (p[2] == 229 || p[2] == 230))
                                << modeName(mode) << " depth " << depth << " at distance^2 " << best;
                            ++coloured;
                        } else {
                            EXPECT_TRUE(white) << modeName(mode) << " depth " << depth << " at distance^2 " << best;
                            ++core;
                        }
                    }
            EXPECT_GT(coloured, 0);
            EXPECT_GT(core, 0);
        }
    }
}

// A ball of radius 0.5 with spherical texture coordinates, textured with
// one in-gamut colour.
std::string texturedBall(const std::filesystem::path& dir, const std::array<std::uint8_t, 3>& colour) {
    std::vector<std::uint8_t> texel(16 * 16 * 4);
    for (std::size_t p = 0; p < 256; ++p) {
        std::copy(colour.begin(), colour.end(), &texel[4 * p]);
        texel[4 * p + 3] = 255;
    }
    std::string error;
    EXPECT_TRUE(writePngRGBA((dir / "skin.png").string(), 16, 16, texel.data(), &error)) << error;
    writeFile(dir / "ball.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd skin.png\n");
    std::ostringstream o;
    o << "mtllib ball.mtl\nusemtl skin\n";
    const int stacks = 24, slices = 36;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i <= stacks; ++i)
        for (int j = 0; j <= slices; ++j) {
            const double theta = pi * i / stacks, phi = 2 * pi * j / slices;
            o << "v " << 0.5 * std::sin(theta) * std::cos(phi) << ' ' << 0.5 * std::cos(theta) << ' '
              << 0.5 * std::sin(theta) * std::sin(phi) << "\nvt " << double(j) / slices << ' ' << 1 - double(i) / stacks
              << '\n';
        }
    auto id = [&](int i, int j) { return 1 + i * (slices + 1) + j; };
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const int a = id(i, j), b = id(i, j + 1), c = id(i + 1, j + 1), d = id(i + 1, j);
            o << "f " << a << '/' << a << ' ' << b << '/' << b << ' ' << c << '/' << c << ' ' << d << '/' << d << '\n';
        }
    return o.str();
}

TEST(Print, ATexturedBallKeepsItsColourInEveryBlockAndEveryRunIsTheSame) {
    KUBELMAR_REQUIRE_GL();
    const int n = 64, b = 16;
    MaterialPalette cmyk;
    ASSERT_TRUE(loadPalette("cmyk", cmyk, nullptr));
    // A quarter cyan, a tenth magenta and yellow, the rest white, in light.
    const char* names[4] = {"cyan", "magenta", "yellow", "white"};
    const float weights[4] = {0.25f, 0.1f, 0.1f, 0.55f};
    float mix[3] = {0, 0, 0};
    for (int m = 0; m < 4; ++m)
        for (int k = 0; k < 3; ++k) mix[k] += weights[m] * srgbToLinear(cmyk.materials[cmyk.find(names[m])].srgb[k]);
    const std::array<std::uint8_t, 3> target = {linearToSrgb(mix[0]), linearToSrgb(mix[1]), linearToSrgb(mix[2])};
    const Lab want = linearToLab(srgbToLinear(target.data()));
    for (DitherMode dither : {DitherMode::Diffusion, DitherMode::BlueNoise}) {
        std::vector<std::uint8_t> first;
        for (int run = 0; run < 2; ++run) {
            EngineFixture f(n, VoxelMode::Parity);
            f.settings.print.palette = cmyk;
            f.settings.print.dither = dither;
            f.settings.print.colourDepth = 64;  // colour all through
            ASSERT_TRUE(f.load(texturedBall(f.dir, target)));
            ASSERT_TRUE(f.run().ok);
            ASSERT_EQ(f.volume.info().encoding, SliceEncoding::Material);
            std::vector<std::uint8_t> bytes;
            for (int s = 0; s < n; ++s)
                for (int r = 0; r < n; ++r) bytes.insert(bytes.end(), f.volume.at(s, r, 0), f.volume.at(s, r, 0) + 4 * n);
            if (run == 1) {
                EXPECT_EQ(bytes, first) << ditherName(dither);
                continue;
            }
            first = bytes;
            // The eight blocks of 16^3 around the centre lie inside the ball.
            double worst = 0;
            for (int s0 = 16; s0 < 48; s0 += b)
                for (int r0 = 16; r0 < 48; r0 += b)
                    for (int c0 = 16; c0 < 48; c0 += b) {
                        double sum[3] = {0, 0, 0};
                        for (int s = s0; s < s0 + b; ++s)
                            for (int r = r0; r < r0 + b; ++r)
                                for (int c = c0; c < c0 + b; ++c) {
                                    ASSERT_TRUE(f.volume.filled(s, r, c));
                                    for (int k = 0; k < 3; ++k) sum[k] += srgbToLinear(f.volume.at(s, r, c)[k]);
                                }
                        const LinearRgb mean = {float(sum[0] / (b * b * b)), float(sum[1] / (b * b * b)),
                                                float(sum[2] / (b * b * b))};
                        worst = std::max(worst, deltaE2000(linearToLab(mean), want));
                    }
            EXPECT_LT(worst, 3.0) << ditherName(dither);
        }
    }
}

}  // namespace
}  // namespace kubelmar::test
