// Times loading a textured OBJ with its textures decoded in this process and
// in a child process (the default), interleaved so that both meet the same
// machine load.
//
//   kubelmar_bench_textures [textures] [side] [repeats]   (default 4 1024 7)
//
// The OBJ is a 200 x 200 grid in `textures` bands, each with a material whose
// map_Kd is a side x side image of noise (PNG and JPEG in turn). Written to
// the system temp directory and removed afterwards.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "mesh/obj_reader.h"
#include "tests/support/test_images.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> noise(int side, unsigned seed) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side) * side * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        // Smooth-ish: JPEG and PNG both compress it about as photos do.
        rgba[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(((i / 4) % side) / 4 + (seed >> 28));
    }
    return rgba;
}

std::string writeSample(const std::filesystem::path& dir, int textures, int side) {
    std::FILE* mtl = std::fopen((dir / "m.mtl").c_str(), "wb");
    for (int t = 0; t < textures; ++t) {
        char name[32];
        std::snprintf(name, sizeof name, "t%d.%s", t, t % 2 ? "jpg" : "png");
        if (t % 2)
            kubelmar::test::writeTestJpeg((dir / name).string(), side, side, noise(side, static_cast<unsigned>(t)));
        else
            kubelmar::test::writeTestPng((dir / name).string(), side, side, noise(side, static_cast<unsigned>(t)));
        std::fprintf(mtl, "newmtl m%d\nmap_Kd %s\n", t, name);
    }
    std::fclose(mtl);
    const std::string obj = (dir / "m.obj").string();
    std::FILE* f = std::fopen(obj.c_str(), "wb");
    const int n = 200;
    std::fprintf(f, "mtllib m.mtl\n");
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c) std::fprintf(f, "v %d %d 0\nvt %.4f %.4f\n", c, r, c / double(n), r / double(n));
    for (int r = 0; r < n; ++r) {
        if (r % (n / textures) == 0) std::fprintf(f, "usemtl m%d\n", std::min(textures - 1, r / (n / textures)));
        for (int c = 0; c < n; ++c) {
            const int a = r * (n + 1) + c + 1, b = a + 1, d = a + n + 1, e = d + 1;
            std::fprintf(f, "f %d/%d %d/%d %d/%d\nf %d/%d %d/%d %d/%d\n", a, a, b, b, e, e, a, a, e, e, d, d);
        }
    }
    std::fclose(f);
    return obj;
}

// One load in a fresh process, as a command-line run makes it: a warm heap
// from earlier loads would spare the in-process decoder its page faults.
double loadSeconds(const std::string& obj, bool isolate) {
    int ends[2];
    if (::pipe(ends) != 0) std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        kubelmar::LoadLimits limits;
        limits.isolateThirdPartyReaders = isolate;
        kubelmar::Mesh mesh;
        const auto start = Clock::now();
        const kubelmar::ObjReadResult r = kubelmar::readOBJ(mesh, obj, limits);
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (!r.ok || !r.warnings.empty()) {
            std::fprintf(stderr, "load failed or warned: %s\n", r.ok ? r.warnings[0].text().c_str() : r.error.text().c_str());
            _exit(1);
        }
        _exit(::write(ends[1], &s, sizeof s) == sizeof s ? 0 : 1);
    }
    ::close(ends[1]);
    double s = -1;
    const bool got = ::read(ends[0], &s, sizeof s) == sizeof s;
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!got || status != 0) std::exit(1);
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int textures = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const int side = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1024;
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    const auto dir = std::filesystem::temp_directory_path() / ("kubelmar_bench_textures_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string obj = writeSample(dir, textures, side);
    std::vector<double> inProcess, child;
    loadSeconds(obj, true);  // warm the file cache
    for (int i = 0; i < repeats; ++i) {
        inProcess.push_back(loadSeconds(obj, false));
        child.push_back(loadSeconds(obj, true));
    }
    std::filesystem::remove_all(dir);
    const double a = median(inProcess), b = median(child);
    std::printf("%d textures of %d x %d, 80,000 triangles, median of %d\n", textures, side, side, repeats);
    std::printf("in process: %.1f ms   in a child: %.1f ms   ratio %.3f\n", a * 1e3, b * 1e3, b / a);
    return 0;
}
