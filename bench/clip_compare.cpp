// The clipping mode drawn both ways, slab by slab and in bands, slice by
// slice: any pixel that differs is reported and the exit status is 1. Bands
// are drawn on whatever GL the context has (the engine uses them only where
// they have been compared like this).
//
//   kubelmar_clip_compare MESH N [N ...]
//   kubelmar_clip_compare --slab|--band MESH N   (one way, timed alone)
//   --box before the mesh: the mesh's box grid (its largest side N voxels)
//   instead of the N^3 cube.
//
// Prints per N the time of each way (interleaved: slab, band, slab, band;
// the best of two), the slabs drawn in bands and the slices that differ.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "volume/progress.h"
#include "bench/bench_support.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

// Keeps every slice's drawn voxels: (pixel number, RGB) pairs.
class Keeper final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo& info) override {
        pixels_ = info.slicePixels();
        width = static_cast<std::size_t>(info.width());
        slices.assign(static_cast<std::size_t>(info.slices()), {});
        return {};
    }
    kubelmar::WriteResult slice(int s, const std::uint8_t* rgba) override {
        auto& drawn = slices[static_cast<std::size_t>(s)];
        drawn.clear();
        for (std::size_t p = 0; p < pixels_; ++p) {
            const std::uint32_t rgb = rgba[4 * p] << 16 | rgba[4 * p + 1] << 8 | rgba[4 * p + 2];
            if (rgb) drawn.push_back(static_cast<std::uint64_t>(p) << 32 | rgb);
        }
        return {};
    }
    kubelmar::WriteResult end() override { return {}; }
    std::vector<std::vector<std::uint64_t>> slices;
    std::size_t width = 0;  // pixels a slice row

private:
    std::size_t pixels_ = 0;
};

class Discard final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo&) override { return {}; }
    kubelmar::WriteResult slice(int, const std::uint8_t*) override { return {}; }
    kubelmar::WriteResult end() override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
    int only = -1;  // both ways
    bool box = false;
    while (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
        if (std::strcmp(argv[1], "--box") == 0) box = true;
        else if (std::strcmp(argv[1], "--slab") == 0 || std::strcmp(argv[1], "--band") == 0)
            only = std::strcmp(argv[1], "--band") == 0;
        else break;
        ++argv;
        --argc;
    }
    const auto gridShape = box ? kubelmar::GridShape::Box : kubelmar::GridShape::Cube;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MESH N [N ...]\n", argv[0]);
        return 2;
    }
    kubelmar::bench::BenchGL gl;
    if (!kubelmar::bench::startBenchGL(gl) || !kubelmar::bench::loadBenchMesh(gl.engine, argv[1])) return 1;
    kubelmar::Engine& engine = gl.engine;
    if (only >= 0) {
        kubelmar::RunSettings settings;
        settings.mode = kubelmar::VoxelMode::Clipping;
        settings.size = std::atoi(argv[2]);
        settings.grid.shape = gridShape;
        engine.clipVoxelizer().setBandsEnabled(only == 1, true);
        kubelmar::NullProgress quiet;
        Discard discard;
        const auto start = Clock::now();
        const kubelmar::VoxelizeResult result = engine.voxelize(settings, discard, quiet);
        std::printf("%s N=%d %s %.3f s\n", argv[1], settings.size, only ? "band" : "slab",
                    std::chrono::duration<double>(Clock::now() - start).count());
        engine.releaseGL();
        return result.ok ? 0 : 1;
    }
    int status = 0;
    for (int a = 2; a < argc; ++a) {
        kubelmar::RunSettings settings;
        settings.mode = kubelmar::VoxelMode::Clipping;
        settings.size = std::atoi(argv[a]);
        settings.grid.shape = gridShape;
        const std::size_t n = static_cast<std::size_t>(settings.size);
        Keeper slab, band;
        kubelmar::NullProgress quiet;
        double best[2] = {1e9, 1e9};
        kubelmar::ClipVoxelizer::BandStats stats;
        const int rounds = n >= 1024 ? 1 : 2;
        for (int round = 0; round < rounds; ++round) {
            for (int way = 0; way < 2; ++way) {
                engine.clipVoxelizer().setBandsEnabled(way == 1, true);
                const auto start = Clock::now();
                const kubelmar::VoxelizeResult result = engine.voxelize(settings, way == 0 ? slab : band, quiet);
                const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                if (!result.ok) {
                    std::fprintf(stderr, "N=%zu: %s\n", n, result.error.text().c_str());
                    return 1;
                }
                best[way] = std::min(best[way], seconds);
                if (way == 1) stats = engine.clipVoxelizer().bandStats();
            }
        }
        int differing = 0;
        std::size_t pixels = 0;
        for (std::size_t s = 0; s < slab.slices.size() && s < band.slices.size(); ++s) {
            const auto& x = slab.slices[s];
            const auto& y = band.slices[s];
            if (x == y) continue;
            ++differing;
            // Voxels drawn one way only or in another colour.
            std::size_t i = 0, j = 0;
            while (i < x.size() || j < y.size()) {
                const std::uint64_t px = i < x.size() ? x[i] >> 32 : ~0ull;
                const std::uint64_t py = j < y.size() ? y[j] >> 32 : ~0ull;
                const std::uint64_t p = std::min(px, py);
                const std::uint32_t cx = px == p ? static_cast<std::uint32_t>(x[i++]) : 0;
                const std::uint32_t cy = py == p ? static_cast<std::uint32_t>(y[j++]) : 0;
                if (cx == cy) continue;
                if (++pixels <= 10)
                    std::printf("  slice %zu row %llu column %llu: %06x vs %06x\n", s,
                                static_cast<unsigned long long>(p / slab.width),
                                static_cast<unsigned long long>(p % slab.width), cx,
                                cy);
            }
        }
        std::printf("%s N=%zu slab %.3f s band %.3f s (%.2fx) band slabs %d: %s", argv[1], n, best[0],
                    best[1], best[0] / best[1], stats.bandSlabs, differing ? "DIFFER" : "identical");
        if (differing) std::printf(" (%d slices, %zu voxels)", differing, pixels);
        std::printf("\n");
        if (differing) status = 1;
    }
    engine.releaseGL();
    return status;
}
