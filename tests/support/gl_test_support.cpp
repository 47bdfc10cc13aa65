#include "tests/support/gl_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <sstream>

#include "formats/png_io.h"

namespace kubelmar::test {

namespace {
std::unique_ptr<HeadlessGLContext> context;
bool tried = false;
std::vector<std::filesystem::path> tempDirs;
}  // namespace

HeadlessGLContext* glContext() {
    if (!tried) {
        tried = true;
        std::string error;
        context = HeadlessGLContext::create(&error);
    }
    return context.get();
}

std::filesystem::path tempDir(const std::string& tag) {
    static int counter = 0;
    auto dir = std::filesystem::temp_directory_path() /
               ("kubelmar-test-" + std::to_string(::getpid()) + "-" + tag + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    tempDirs.push_back(dir);
    return dir;
}

std::string writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::string boxObj(float x0, float y0, float z0, float x1, float y1, float z1) {
    std::ostringstream o;
    for (int i = 0; i < 8; ++i)
        o << "v " << ((i & 1) ? x1 : x0) << ' ' << ((i & 2) ? y1 : y0) << ' ' << ((i & 4) ? z1 : z0) << '\n';
    // Corner i has x from bit 0, y from bit 1, z from bit 2 (1-based below).
    const int quads[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5},
                             {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};
    for (const auto& q : quads) o << "f " << q[0] << ' ' << q[1] << ' ' << q[2] << ' ' << q[3] << '\n';
    return o.str();
}

std::string sphereObj(float cx, float cy, float cz, float r, int stacks, int slices, int firstVertex,
                      bool inward) {
    std::ostringstream o;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i <= stacks; ++i) {
        const double theta = pi * i / stacks;
        for (int j = 0; j < slices; ++j) {
            const double phi = 2 * pi * j / slices;
            o << "v " << cx + r * std::sin(theta) * std::cos(phi) << ' ' << cy + r * std::cos(theta) << ' '
              << cz + r * std::sin(theta) * std::sin(phi) << '\n';
        }
    }
    auto id = [&](int i, int j) { return firstVertex + i * slices + (j % slices); };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            int a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
            if (!inward) std::swap(b, d);  // a, b, c, d as listed turn into the ball
            o << "f " << a << ' ' << b << ' ' << c << ' ' << d << '\n';
        }
    }
    return o.str();
}

WriteResult VolumeCapture::begin(const VolumeInfo& info) {
    info_ = info;
    received_ = 0;
    voxels_.assign(info.slicePixels() * static_cast<std::size_t>(info.slices()) * 4, 0);
    return {};
}

WriteResult VolumeCapture::slice(int s, const std::uint8_t* rgba) {
    const std::size_t bytes = info_.slicePixels() * 4;
    std::copy_n(rgba, bytes, voxels_.data() + bytes * s);
    ++received_;
    return {};
}

const std::uint8_t* VolumeCapture::at(int s, int r, int c) const {
    const std::size_t w = static_cast<std::size_t>(info_.width()), h = static_cast<std::size_t>(info_.height());
    return voxels_.data() + ((s * h + r) * w + c) * 4;
}

long VolumeCapture::count() const {
    long total = 0;
    for (int s = 0; s < info_.slices(); ++s)
        for (int r = 0; r < info_.height(); ++r)
            for (int c = 0; c < info_.width(); ++c) total += filled(s, r, c);
    return total;
}

EngineFixture::EngineFixture(int n, VoxelMode mode) {
    engine.setLog(&log);
    settings.size = n;
    settings.mode = mode;
    settings.depthPictureDirectory = "";  // keep test runs from writing pictures
    dir = tempDir("out");
    if (glContext()) ready = engine.initializeGL(glContext()->resolver(), n, n).ready;
}

EngineFixture::~EngineFixture() {
    if (ready) engine.releaseGL();
}

bool EngineFixture::load(const std::string& objText) {
    const std::string path = writeFile(dir / "mesh.obj", objText);
    testing::internal::CaptureStdout();
    const bool ok = engine.loadMesh(path).ok;
    testing::internal::GetCapturedStdout();
    return ok && engine.checkMeshLoaded();
}

VoxelizeResult EngineFixture::run() {
    NullProgress none;
    return run(none);
}

VoxelizeResult EngineFixture::run(Progress& progress) {
    std::filesystem::create_directories(dir / "slices");
    PngStackWriter stack((dir / "slices").string());
    TeeConsumer both(stack, volume);
    warnings.clear();
    return engine.voxelize(settings, both, progress, &warnings);
}

std::vector<std::uint8_t> readSlice(const std::filesystem::path& dir, int s, int* size) {
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    std::string error;
    readPngRGBA((dir / ("slice" + std::to_string(100000 + s) + ".png")).string(), w, h, rgba, &error);
    if (size) *size = w;
    return rgba;
}

}  // namespace kubelmar::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    for (const auto& dir : kubelmar::test::tempDirs) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    kubelmar::test::context.reset();
    return status;
}
