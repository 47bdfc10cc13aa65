// A printer's grid at full size: the mesh scaled so that its largest side
// is SIDE_MM millimetres, voxels of 25.4 / DPI_X by 25.4 / DPI_Y mm in the
// layer and LAYER_UM micrometres up the build axis, the PNG stack (and
// volume.json) written to OUT as a front end would. Prints the grid, the
// steps' wall times, the total and the peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/grid_layout.h"
#include "engine/runner.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

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

long peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s MESH OUT clipping|depth|parity SIDE_MM DPI_X DPI_Y LAYER_UM UP(x|y|z)\n",
                     argv[0]);
        return 2;
    }
    std::string error;
    auto context = kubelmar::HeadlessGLContext::create(&error);
    if (!context) {
        std::fprintf(stderr, "no GL context: %s\n", error.c_str());
        return 1;
    }
    kubelmar::Engine engine;
    if (!engine.initializeGL(context->resolver(), 512, 512)) return 1;
    kubelmar::RunReport report;
    report.job = {argv[1], argv[1], argv[2]};
    if (!kubelmar::loadForRun(engine, report, {})) {
        std::fprintf(stderr, "%s\n", report.errorText().c_str());
        return 1;
    }
    kubelmar::RunRequest request;
    kubelmar::RunSettings& s = request.settings;
    const std::string mode = argv[3];
    s.mode = mode == "parity" ? kubelmar::VoxelMode::Parity
             : mode == "depth" ? kubelmar::VoxelMode::DepthBuffer
                               : kubelmar::VoxelMode::Clipping;
    s.depthPictureDirectory.clear();
    const int up = argv[8][0] - 'x';
    if (up < 0 || up > 2) return 2;
    // Width along the first other axis at DPI_X, height along the second at DPI_Y.
    const int first = up == 0 ? 1 : 0, second = up == 2 ? 1 : 2;
    s.grid.shape = kubelmar::GridShape::Box;
    s.grid.unit = "mm";
    s.grid.scale = std::atof(argv[4]) / engine.meshExtent();
    s.grid.edge[first] = 25.4 / std::atof(argv[5]);
    s.grid.edge[second] = 25.4 / std::atof(argv[6]);
    s.grid.edge[up] = std::atof(argv[7]) / 1000.0;
    s.grid.stack = kubelmar::stackAlong(up);
    request.output.formats = {kubelmar::OutputFormat::Png};
    const kubelmar::GridLayoutResult grid = engine.gridLayout(s);
    if (!grid.ok) {
        std::fprintf(stderr, "%s\n", grid.error.c_str());
        return 1;
    }
    std::printf("%s: %d faces; %s\n  grid %d x %d x %d voxels of %.4f x %.4f x %.4f mm\n", argv[1],
                engine.mesh().faceCount, context->description().c_str(), grid.layout.dims[0], grid.layout.dims[1],
                grid.layout.dims[2], s.grid.edge[0], s.grid.edge[1], s.grid.edge[2]);
    StepClock steps;
    const auto start = Clock::now();
    kubelmar::voxelizeLoaded(engine, request, report, steps);
    const double total = seconds(start);
    if (!report.done()) {
        std::fprintf(stderr, "%s\n", report.errorText().c_str());
        return 1;
    }
    std::printf("  total %.1f s, %llu voxels filled, %d files, peak %ld MiB\n", total,
                static_cast<unsigned long long>(report.filledVoxels), report.filesWritten, peakMiB());
    engine.releaseGL();
    return 0;
}
