// One voxelization, phase by phase: wall time and memory (resident now and
// the process's peak so far) at the end of each step, then the whole run.
//
//   kubelmar_bench_engine MESH clipping|depth N [OUTDIR]   (OUTDIR: a temp folder)
//   kubelmar_bench_engine --make-torus FILE [TRIANGLES]    (default 1000000)
//
// Each configuration runs in a process of its own so that the peak is the
// run's (bench/bench_engine.sh runs the matrix).
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "formats/run_output.h"
#include "gl/egl_context.h"

namespace {

using Clock = std::chrono::steady_clock;

double residentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

// Prints each step as it ends.
class PhaseTimer final : public kubelmar::Progress {
public:
    void begin(const std::string& label, int) override {
        label_ = label;
        start_ = Clock::now();
    }
    void setValue(int) override {}
    void end() override {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        std::printf("  %-40s %7.3f s  rss %7.1f MB  peak %7.1f MB\n", label_.c_str(), seconds, residentMB(), peakMB());
    }

private:
    std::string label_;
    Clock::time_point start_;
};

// A torus of rows x columns quads, two triangles each, coloured by angle:
// closed, so both modes have an inside.
int makeTorus(const std::string& path, long triangles) {
    const int columns = 1000;
    const int rows = static_cast<int>(std::max(3L, triangles / (2 * columns)));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    const double pi = 3.14159265358979323846;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const double u = 2 * pi * c / columns, v = 2 * pi * r / rows;
            const double radius = 3 + std::cos(v);
            std::fprintf(f, "v %.6f %.6f %.6f %.3f %.3f 0.4\n", radius * std::cos(u), std::sin(v), radius * std::sin(u),
                         0.5 + 0.5 * std::cos(u), 0.5 + 0.5 * std::sin(v));
        }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int a = r * columns + c + 1, b = r * columns + (c + 1) % columns + 1;
            const int d = ((r + 1) % rows) * columns + c + 1, e = ((r + 1) % rows) * columns + (c + 1) % columns + 1;
            std::fprintf(f, "f %d %d %d\nf %d %d %d\n", a, d, e, a, e, b);
        }
    std::printf("%s: %d triangles\n", path.c_str(), 2 * rows * columns);
    return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--make-torus")
        return makeTorus(argv[2], argc > 3 ? std::atol(argv[3]) : 1000000);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s MESH clipping|depth N [OUTDIR]\n", argv[0]);
        return 2;
    }
    const auto start = Clock::now();
    std::string error;
    std::unique_ptr<kubelmar::HeadlessGLContext> context = kubelmar::HeadlessGLContext::create(&error);
    if (!context) {
        std::fprintf(stderr, "no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    kubelmar::Engine engine;
    if (!engine.initializeGL(context->resolver(), 64, 64)) return 1;
    const auto loadStart = Clock::now();
    const kubelmar::MeshLoadResult loaded = engine.loadMesh(argv[1]);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.errorText().c_str());
        return 1;
    }
    std::printf("  %-40s %7.3f s  rss %7.1f MB  peak %7.1f MB\n", "Loading mesh",
                std::chrono::duration<double>(Clock::now() - loadStart).count(), residentMB(), peakMB());

    kubelmar::RunSettings settings;
    settings.mode = std::string(argv[2]) == "depth" ? kubelmar::VoxelMode::DepthBuffer : kubelmar::VoxelMode::Clipping;
    settings.size = std::atoi(argv[3]);
    settings.depthPictureDirectory.clear();
    const std::string out = argc > 4 ? argv[4]
                                     : (std::filesystem::temp_directory_path() /
                                        ("kubelmar-bench-" + std::to_string(getpid()))).string();
    kubelmar::OutputRequest request;
    request.directory = out;
    request.meshPath = argv[1];
    kubelmar::RunOutput files(request);
    PhaseTimer timer;
    const auto runStart = Clock::now();
    const kubelmar::WriteResult result = engine.voxelize(settings, files, timer);
    std::printf("  %-40s %7.3f s\n", "Voxelization (all steps)",
                std::chrono::duration<double>(Clock::now() - runStart).count());
    engine.releaseGL();
    if (argc <= 4) std::filesystem::remove_all(out);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.text().c_str());
        return 1;
    }
    std::printf("  %-40s %7.3f s  %d files  peak %7.1f MB\n", "Total (with GL start and load)",
                std::chrono::duration<double>(Clock::now() - start).count(), result.filesWritten, peakMB());
    return 0;
}
