// Times the nonzero rule against parity on one mesh, run alternately so
// that a busy machine weighs on both alike, and prints a hash of each stack
// so that two builds can be checked for identical voxels:
//   kubelmar_bench_nonzero MESH N [ROUNDS] [VOTES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "volume/progress.h"
#include "bench/bench_support.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

// The filled count, as kubelmar_bench_robust takes it; with `hashing`, also
// an FNV-1a hash of every slice's occupancy in order (slow: checks only).
class Hash final : public kubelmar::SliceConsumer {
public:
    bool hashing = false;
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo& info) override {
        info_ = info;
        hash = 1469598103934665603ull;
        filled = 0;
        return {};
    }
    kubelmar::WriteResult slice(int s, const std::uint8_t* rgba) override {
        const std::size_t pixels = static_cast<std::size_t>(info_.size) * info_.size;
        if (!hashing) {
            filled += kubelmar::countFilledVoxels(rgba, pixels, info_.encoding);
            return {};
        }
        mix(static_cast<std::uint64_t>(s));
        for (std::size_t p = 0; p < pixels; ++p) {
            const bool on = kubelmar::voxelFilled(rgba + 4 * p, info_.encoding);
            filled += on;
            hash = (hash ^ (on ? 1u : 0u)) * 1099511628211ull;
        }
        return {};
    }
    kubelmar::WriteResult end() override { return {}; }
    std::uint64_t hash = 0;
    long long filled = 0;

private:
    void mix(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) hash = (hash ^ ((v >> (8 * i)) & 0xFF)) * 1099511628211ull;
    }
    kubelmar::VolumeInfo info_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MESH N [ROUNDS] [VOTES]\n", argv[0]);
        return 2;
    }
    const int n = std::atoi(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const int votes = argc > 4 ? std::atoi(argv[4]) : 1;
    kubelmar::bench::BenchGL gl;
    if (!kubelmar::bench::startBenchGL(gl) || !kubelmar::bench::loadBenchMesh(gl.engine, argv[1])) return 1;
    kubelmar::Engine& engine = gl.engine;
    double best[2] = {1e30, 1e30};
    std::uint64_t hash[2] = {0, 0};
    long long filled[2] = {0, 0};
    Hash hashes[2];
    kubelmar::NullProgress quiet;
    // One unmeasured run each first, hashed: buffers and programs are made
    // once.
    for (int r = -1; r < rounds; ++r) {
        for (int i = 0; i < 2; ++i) {
            kubelmar::RunSettings settings;
            settings.size = n;
            settings.mode = kubelmar::VoxelMode::Parity;
            settings.inside = i == 0 ? kubelmar::InsideRule::Parity : kubelmar::InsideRule::NonZero;
            settings.parityVotes = votes;
            hashes[i].hashing = r < 0;
            const auto start = Clock::now();
            const kubelmar::VoxelizeResult result = engine.voxelize(settings, hashes[i], quiet);
            const double t = std::chrono::duration<double>(Clock::now() - start).count();
            if (!result.ok) {
                std::fprintf(stderr, "%s\n", result.error.text().c_str());
                return 1;
            }
            if (r >= 0) best[i] = std::min(best[i], t);
            if (r < 0) {
                hash[i] = hashes[i].hash;
                filled[i] = hashes[i].filled;
            }
        }
    }
    std::printf("%s N=%d votes=%d: parity %.3f s (%lld voxels, hash %016llx), nonzero %.3f s (%lld voxels, hash "
                "%016llx), ratio %.3f\n",
                argv[1], n, votes, best[0], filled[0], static_cast<unsigned long long>(hash[0]), best[1], filled[1],
                static_cast<unsigned long long>(hash[1]), best[1] / best[0]);
    engine.releaseGL();
    return 0;
}
