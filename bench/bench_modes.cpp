// Times one voxelization mode on a mesh at several N on a headless context,
// slices discarded (no file writing), each step timed:
//   kubelmar_bench_modes MESH depth|depth-full|clipping|parity|parity3 N...
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "engine/engine.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Counts filled voxels and drops the slices.
class CountingConsumer final : public kubelmar::SliceConsumer {
public:
    kubelmar::WriteResult begin(const kubelmar::VolumeInfo& info) override {
        info_ = info;
        filled = 0;
        return {};
    }
    kubelmar::WriteResult slice(int, const std::uint8_t* rgba) override {
        const std::size_t pixels = info_.slicePixels();
        if (info_.encoding == kubelmar::SliceEncoding::Occupancy) {
            long long count = 0;  // alpha byte only: a plain loop the compiler vectorises
            for (std::size_t p = 0; p < pixels; ++p) count += rgba[4 * p + 3] != 0;
            filled += count;
            return {};
        }
        for (std::size_t p = 0; p < pixels; ++p) filled += kubelmar::voxelFilled(rgba + 4 * p, info_.encoding);
        return {};
    }
    kubelmar::WriteResult end() override { return {}; }
    long long filled = 0;

private:
    kubelmar::VolumeInfo info_;
};

// Prints each step's label and wall time as it ends.
class StepClock final : public kubelmar::Progress {
public:
    void begin(const std::string& label, int) override {
        label_ = label;
        start_ = Clock::now();
    }
    void setValue(int) override {}
    void end() override { std::printf("    %-34s %7.3f s\n", label_.c_str(), seconds(start_)); }

private:
    std::string label_;
    Clock::time_point start_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s MESH depth|depth-full|clipping|parity|parity3 N...\n", argv[0]);
        return 2;
    }
    std::string error;
    auto context = kubelmar::HeadlessGLContext::create(&error);
    if (!context) {
        std::fprintf(stderr, "no GL context: %s\n", error.c_str());
        return 1;
    }
    kubelmar::Engine engine;
    engine.setLog(&std::cerr);
    if (!engine.initializeGL(context->resolver(), 512, 512)) return 1;
    const auto loadStart = Clock::now();
    const kubelmar::MeshLoadResult loaded = engine.loadMesh(argv[1]);
    if (!loaded.ok) {
        std::fprintf(stderr, "Error loading %s: %s\n", argv[1], loaded.errorText().c_str());
        return 1;
    }
    std::printf("%s: %d faces, loaded in %.2f s; %s\n", argv[1], engine.mesh().faceCount, seconds(loadStart),
                context->description().c_str());
    kubelmar::RunSettings settings;
    const std::string mode = argv[2];
    settings.mode = mode.rfind("parity", 0) == 0 ? kubelmar::VoxelMode::Parity
                    : mode == "clipping" ? kubelmar::VoxelMode::Clipping
                                         : kubelmar::VoxelMode::DepthBuffer;
    settings.parityVotes = mode == "parity3" ? 3 : 1;
    if (mode == "depth-full") settings.depthPrecision = kubelmar::DepthPrecision::Full;
    settings.depthPictureDirectory.clear();
    for (int a = 3; a < argc; ++a) {
        settings.size = std::atoi(argv[a]);
        CountingConsumer consumer;
        StepClock steps;
        std::printf("  %s N=%d\n", mode.c_str(), settings.size);
        const auto start = Clock::now();
        const kubelmar::VoxelizeResult result = engine.voxelize(settings, consumer, steps);
        const double total = seconds(start);
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", result.error.text().c_str());
            return 1;
        }
        std::printf("  total %.3f s, %lld voxels filled\n", total, consumer.filled);
    }
    engine.releaseGL();
    return 0;
}
