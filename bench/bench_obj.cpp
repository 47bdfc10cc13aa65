// Times the OBJ load path on a generated height-field mesh: readOBJ alone and
// the full load sequence (read, measure, scale, centre, normals).
//
//   kubelmar_bench_obj [triangles]     (default 1000000)
//
// The file is written to the system temp directory and removed afterwards.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

#include "mesh/mesh_loader.h"
#include "mesh/obj_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A (columns + 1) x (rows + 1) grid of vertices with a wavy height, every
// tenth row coloured with "vc" lines, two triangles per cell.
bool writeGrid(const std::string& path, int columns, int rows) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "# generated height field %d x %d cells\n", columns, rows);
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            const double x = c * 0.01, y = r * 0.01;
            std::fprintf(f, "v %.6f %.6f %.6f\n", x, y, 0.05 * std::sin(x * 7.0) * std::cos(y * 5.0));
        }
    }
    for (int r = 0; r <= rows; r += 10) {
        for (int c = 0; c <= columns; ++c) std::fprintf(f, "vc %.3f %.3f 0.5\n", c / double(columns), r / double(rows));
    }
    const int stride = columns + 1;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int a = r * stride + c + 1;  // OBJ numbers start at 1
            const int b = a + 1, d = a + stride, e = d + 1;
            std::fprintf(f, "f %d %d %d\nf %d %d %d\n", a, b, e, a, e, d);
        }
    }
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const long triangles = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int columns = 1000;
    const int rows = static_cast<int>(triangles / (2 * columns));
    if (rows < 1) {
        std::cerr << "need at least " << 2 * columns << " triangles\n";
        return 2;
    }
    const auto path = (std::filesystem::temp_directory_path() /
                       ("kubelmar_bench_" + std::to_string(getpid()) + ".obj")).string();

    const auto writeStart = Clock::now();
    if (!writeGrid(path, columns, rows)) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
    }
    const double writeSeconds = secondsSince(writeStart);
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::printf("file: %s, %.1f MB, %d vertices, %d triangles (written in %.2f s)\n", path.c_str(),
                megabytes, (columns + 1) * (rows + 1), 2 * columns * rows, writeSeconds);

    int status = 0;
    double bestRead = 1e30, bestLoad = 1e30;
    for (int run = 0; run < 3 && status == 0; ++run) {
        kubelmar::Mesh mesh;
        auto start = Clock::now();
        const kubelmar::ObjReadResult read = kubelmar::readOBJ(mesh, path);
        const double readSeconds = secondsSince(start);

        kubelmar::Mesh prepared;
        start = Clock::now();
        const kubelmar::MeshLoadResult load = kubelmar::loadPreparedMesh(path, prepared);
        const double loadSeconds = secondsSince(start);
        if (!read.ok || !load.ok || prepared.faceCount != 2 * columns * rows) {
            std::cerr << "load failed: " << read.error << load.errorText() << "\n";
            status = 1;
            break;
        }
        bestRead = std::min(bestRead, readSeconds);
        bestLoad = std::min(bestLoad, loadSeconds);
        std::printf("run %d: readOBJ %.3f s (%.0f MB/s), loadPreparedMesh %.3f s (%.0f MB/s)\n", run + 1,
                    readSeconds, megabytes / readSeconds, loadSeconds, megabytes / loadSeconds);
    }
    if (status == 0)
        std::printf("best: readOBJ %.3f s (%.0f MB/s), loadPreparedMesh %.3f s (%.0f MB/s)\n", bestRead,
                    megabytes / bestRead, bestLoad, megabytes / bestLoad);
    std::filesystem::remove(path);
    return status;
}
