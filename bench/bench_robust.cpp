// Times the conservative surface against the default clipping rule, and the
// nonzero rule against parity, in one process on one mesh, each pair run
// alternately so that a shared, busy machine weighs on both alike; checks
// the conservative stack against a brute-force CPU overlap on the way:
//   kubelmar_bench_robust MESH N [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "volume/progress.h"
#include "bench/bench_support.h"
#include "gl/egl_context.h"
#include "voxel/triangle_box.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Counts the filled voxels and, when `store` is set, keeps the whole
// stack (N^3 RGBA) for the comparisons.
class Keep final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo& info) override {
        info_ = info;
        voxels.assign(store ? info.slicePixels() * static_cast<std::size_t>(info.slices()) * 4 : 0, 0);
        filledCount = 0;
        return {};
    }
    kubelmar::WriteResult slice(int s, const std::uint8_t* rgba) override {
        const std::size_t pixels = info_.slicePixels();
        filledCount += kubelmar::countFilledVoxels(rgba, pixels, info_.encoding);
        if (store) std::memcpy(voxels.data() + static_cast<std::size_t>(s) * pixels * 4, rgba, pixels * 4);
        return {};
    }
    bool store = false;
    long long filledCount = 0;
    kubelmar::WriteResult end() override { return {}; }
    bool filled(std::size_t voxel) const { return kubelmar::voxelFilled(&voxels[4 * voxel], info_.encoding); }
    std::vector<std::uint8_t> voxels;

private:
    kubelmar::VolumeInfo info_;
};

// Cells the prepared mesh touches, in the clipping stack's order (slice
// N-1-Ly, row Lx, column Lz).
std::vector<char> touchedCells(const kubelmar::Mesh& mesh, int n) {
    const double step = 2048.0 / n, half[3] = {step / 2, step / 2, step / 2};
    std::vector<char> touched(static_cast<std::size_t>(n) * n * n, 0);
    for (const kubelmar::Face& face : mesh.faces) {
        double v[3][3];
        int lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            const kubelmar::Float3& p = mesh.positions[face.index[k]];
            v[k][0] = p.x;
            v[k][1] = p.y;
            v[k][2] = p.z;
        }
        for (int a = 0; a < 3; ++a) {
            const double mn = std::min({v[0][a], v[1][a], v[2][a]}), mx = std::max({v[0][a], v[1][a], v[2][a]});
            lo[a] = std::max(0, static_cast<int>(std::floor((mn + 1024) / step)) - 1);
            hi[a] = std::min(n - 1, static_cast<int>(std::floor((mx + 1024) / step)) + 1);
        }
        for (int z = lo[2]; z <= hi[2]; ++z)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int x = lo[0]; x <= hi[0]; ++x) {
                    const double centre[3] = {-1024 + (x + 0.5) * step, -1024 + (y + 0.5) * step,
                                              -1024 + (z + 0.5) * step};
                    if (kubelmar::triangleTouchesBox(centre, half, v[0], v[1], v[2]))
                        touched[(static_cast<std::size_t>(n - 1 - y) * n + x) * n + z] = 1;
                }
    }
    return touched;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MESH N [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int n = std::atoi(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    kubelmar::bench::BenchGL gl;
    if (!kubelmar::bench::startBenchGL(gl) || !kubelmar::bench::loadBenchMesh(gl.engine, argv[1])) return 1;
    kubelmar::Engine& engine = gl.engine;
    const auto& context = gl.context;
    std::printf("%s: %d faces, N=%d, %d rounds; %s\n", argv[1], engine.mesh().faceCount, n, rounds,
                context->description().c_str());

    struct Variant {
        const char* name;
        kubelmar::VoxelMode mode;
        bool conservative;
        kubelmar::InsideRule inside;
    };
    const Variant variants[4] = {
        {"clipping", kubelmar::VoxelMode::Clipping, false, kubelmar::InsideRule::Parity},
        {"clipping --conservative", kubelmar::VoxelMode::Clipping, true, kubelmar::InsideRule::Parity},
        {"parity", kubelmar::VoxelMode::Parity, false, kubelmar::InsideRule::Parity},
        {"parity --inside nonzero", kubelmar::VoxelMode::Parity, false, kubelmar::InsideRule::NonZero},
    };
    double best[4] = {1e30, 1e30, 1e30, 1e30};
    Keep kept[4];
    // The stacks are compared at moderate N only: four of them are held.
    const bool compare = n <= 400;
    for (Keep& k : kept) k.store = compare;
    kubelmar::NullProgress quiet;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 4; ++i) {
            const Variant& v = variants[i];
            kubelmar::RunSettings settings;
            settings.size = n;
            settings.mode = v.mode;
            settings.conservative = v.conservative;
            settings.inside = v.inside;
            settings.parityVotes = 1;
            const auto start = Clock::now();
            const kubelmar::VoxelizeResult result = engine.voxelize(settings, kept[i], quiet);
            const double t = seconds(start);
            if (!result.ok) {
                std::fprintf(stderr, "%s: %s\n", v.name, result.error.text().c_str());
                return 1;
            }
            best[i] = std::min(best[i], t);
            std::printf("  round %d  %-26s %7.3f s\n", r + 1, v.name, t);
        }
    }
    for (int i = 0; i < 4; ++i)
        std::printf("best %-26s %7.3f s  %lld voxels\n", variants[i].name, best[i], kept[i].filledCount);
    std::printf("ratio conservative / clipping: %.2f\n", best[1] / best[0]);
    std::printf("ratio nonzero / parity: %.2f\n", best[3] / best[2]);

    if (!compare) {
        engine.releaseGL();
        return 0;
    }
    // The conservative stack against the default one and the CPU overlap.
    const std::vector<char> touched = touchedCells(engine.mesh(), n);
    long long missing = 0, extra = 0, beyond = 0, recoloured = 0, exact = 0;
    const Keep& plain = kept[0];
    const Keep& wide = kept[1];
    for (std::size_t v = 0; v < touched.size(); ++v) {
        const bool before = plain.filled(v), after = wide.filled(v), touch = touched[v] != 0;
        exact += touch;
        missing += touch && !after;
        extra += after && !touch && !before;
        beyond += before && !touch;
        if (before) recoloured += std::memcmp(&plain.voxels[4 * v], &wide.voxels[4 * v], 3) != 0;
    }
    std::printf("conservative vs CPU overlap: %lld touched, %lld missing, %lld extra; default voxels no face "
                "touches %lld; default voxels recoloured %lld\n",
                exact, missing, extra, beyond, recoloured);
    long long differ = 0;
    for (std::size_t v = 0; v < touched.size(); ++v) differ += kept[2].filled(v) != kept[3].filled(v);
    std::printf("nonzero vs parity: %lld voxels differ\n", differ);
    engine.releaseGL();
    return 0;
}
