// The clipping mode drawn both ways, slab by slab and in bands, slice by
// slice: any pixel that differs is reported and the exit status is 1.
//
//   kubelmar_clip_compare MESH N [N ...]
//   kubelmar_clip_compare --slab|--band MESH N   (one way, timed alone)
//
// Prints per N the time of each way (interleaved: slab, band, slab, band;
// the best of two), the slabs drawn in bands and how many of them were drawn
// again on their own, and the slices that differ.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

// Keeps a hash of every slice (FNV-1a over its RGBA bytes) and, up to a
// bound, a copy of it.
class Keeper final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo& info) override {
        n_ = static_cast<std::size_t>(info.size);
        hashes.assign(n_, 0);
        kept = n_ <= 512;
        if (kept) slices.assign(n_ * n_ * n_ * 4, 0);
        return {};
    }
    kubelmar::WriteResult slice(int s, const std::uint8_t* rgba) override {
        const std::size_t bytes = n_ * n_ * 4;
        std::uint64_t h = 1469598103934665603ull;
        for (std::size_t i = 0; i < bytes; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, rgba + i, 8);
            h = (h ^ word) * 1099511628211ull;
        }
        hashes[static_cast<std::size_t>(s)] = h;
        if (kept) std::memcpy(&slices[static_cast<std::size_t>(s) * bytes], rgba, bytes);
        return {};
    }
    kubelmar::WriteResult end() override { return {}; }
    std::vector<std::uint64_t> hashes;
    std::vector<std::uint8_t> slices;
    bool kept = false;

private:
    std::size_t n_ = 0;
};

class Discard final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo&) override { return {}; }
    kubelmar::WriteResult slice(int, const std::uint8_t*) override { return {}; }
    kubelmar::WriteResult end() override { return {}; }
};

class Quiet final : public kubelmar::Progress {
public:
    void begin(const std::string&, int) override {}
    void setValue(int) override {}
    void end() override {}
};

}  // namespace

int main(int argc, char** argv) {
    int only = -1;  // both ways
    if (argc > 1 && (std::strcmp(argv[1], "--slab") == 0 || std::strcmp(argv[1], "--band") == 0)) {
        only = std::strcmp(argv[1], "--band") == 0;
        ++argv;
        --argc;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MESH N [N ...]\n", argv[0]);
        return 2;
    }
    std::string error;
    std::unique_ptr<kubelmar::HeadlessGLContext> context = kubelmar::HeadlessGLContext::create(&error);
    if (!context) {
        std::fprintf(stderr, "no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    kubelmar::Engine engine;
    if (!engine.initializeGL(context->resolver(), 64, 64)) return 1;
    const kubelmar::MeshLoadResult loaded = engine.loadMesh(argv[1]);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.errorText().c_str());
        return 1;
    }
    if (only >= 0) {
        kubelmar::RunSettings settings;
        settings.mode = kubelmar::VoxelMode::Clipping;
        settings.size = std::atoi(argv[2]);
        engine.clipVoxelizer().setBandsEnabled(only == 1);
        Quiet quiet;
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
        const std::size_t n = static_cast<std::size_t>(settings.size);
        Keeper slab, band;
        Quiet quiet;
        double best[2] = {1e9, 1e9};
        kubelmar::ClipVoxelizer::BandStats stats;
        const int rounds = n >= 1024 ? 1 : 2;
        for (int round = 0; round < rounds; ++round) {
            for (int way = 0; way < 2; ++way) {
                engine.clipVoxelizer().setBandsEnabled(way == 1);
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
        for (std::size_t s = 0; s < n; ++s) {
            if (slab.hashes[s] == band.hashes[s]) continue;
            ++differing;
            if (!slab.kept) continue;
            const std::uint8_t* x = &slab.slices[s * n * n * 4];
            const std::uint8_t* y = &band.slices[s * n * n * 4];
            for (std::size_t p = 0; p < n * n; ++p) {
                if (std::memcmp(x + 4 * p, y + 4 * p, 4) == 0) continue;
                if (++pixels <= 8)
                    std::printf("  slice %zu row %zu column %zu: %d %d %d vs %d %d %d\n", s, p / n, p % n,
                                x[4 * p], x[4 * p + 1], x[4 * p + 2], y[4 * p], y[4 * p + 1], y[4 * p + 2]);
            }
        }
        std::printf("%s N=%zu slab %.3f s band %.3f s (%.2fx) band slabs %d redrawn %d: %s", argv[1], n, best[0],
                    best[1], best[0] / best[1], stats.bandSlabs, stats.redrawn, differing ? "DIFFER" : "identical");
        if (differing) std::printf(" (%d slices, %zu voxels)", differing, pixels);  // voxels: N <= 512
        std::printf("\n");
        if (differing) status = 1;
    }
    engine.releaseGL();
    return status;
}
