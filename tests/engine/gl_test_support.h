#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gl/egl_context.h"
#include "voxel/engine.h"

namespace kubelmar::test {

// The one headless context of the test program (EGL displays are shared, so
// one context serves every test). Null where none can be made.
HeadlessGLContext* glContext();

#define KUBELMAR_REQUIRE_GL()                                              \
    do {                                                                   \
        if (!::kubelmar::test::glContext()) GTEST_SKIP() << "no EGL context"; \
    } while (0)

// A fresh temporary directory, removed at exit.
std::filesystem::path tempDir(const std::string& tag);
std::string writeFile(const std::filesystem::path& path, const std::string& text);

// OBJ text builders (file units). Faces wind outward.
std::string boxObj(float x0, float y0, float z0, float x1, float y1, float z1);
// A UV sphere; `inward` flips the winding (for a cavity's wall).
std::string sphereObj(float cx, float cy, float cz, float r, int stacks, int slices, int firstVertex,
                      bool inward);

// An initialised engine at size n on the shared context, its log swallowed.
struct EngineFixture {
    explicit EngineFixture(int n, int mode);
    ~EngineFixture();
    bool load(const std::string& objText);
    VoxelizeResult run();
    Engine engine;
    std::filesystem::path dir;
    std::ostringstream log;
    bool ready = false;
};

// Decoded slice s (RGBA, top row first) of an output directory.
std::vector<std::uint8_t> readSlice(const std::filesystem::path& dir, int s, int* size = nullptr);

}  // namespace kubelmar::test
