#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gl/egl_context.h"
#include "engine/engine.h"
#include "formats/png_stack_writer.h"

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

// Every slice a run streams, kept in memory: slice s, row r, column c at
// at(s, r, c) (RGBA as the PNG shows it).
class VolumeCapture final : public SliceConsumer {
public:
    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override { return {}; }
    const std::uint8_t* at(int s, int r, int c) const;
    bool filled(int s, int r, int c) const { return voxelFilled(at(s, r, c), info_.encoding); }
    long count() const;
    const VolumeInfo& info() const { return info_; }
    int slicesReceived() const { return received_; }

private:
    VolumeInfo info_;
    std::vector<std::uint8_t> voxels_;
    int received_ = 0;
};

// Hands every call to two consumers in turn.
class TeeConsumer final : public SliceConsumer {
public:
    TeeConsumer(SliceConsumer& a, SliceConsumer& b) : a_(a), b_(b) {}
    WriteResult begin(const VolumeInfo& info) override { return both([&](SliceConsumer& c) { return c.begin(info); }); }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        return both([&](SliceConsumer& c) { return c.slice(s, rgba); });
    }
    WriteResult end() override { return both([](SliceConsumer& c) { return c.end(); }); }
    void abort() override {
        a_.abort();
        b_.abort();
    }

private:
    template <typename Call>
    WriteResult both(Call call) {
        WriteResult first = call(a_);
        if (!first.ok) return first;
        WriteResult second = call(b_);
        second.filesWritten += first.filesWritten;
        return second;
    }
    SliceConsumer& a_;
    SliceConsumer& b_;
};

// An initialised engine at size n on the shared context, its log kept.
// run() writes the PNG stack into dir/slices and keeps the volume in
// `volume`.
struct EngineFixture {
    explicit EngineFixture(int n, VoxelMode mode);
    ~EngineFixture();
    bool load(const std::string& objText);
    VoxelizeResult run();
    Diagnostics warnings;  // of the last run
    VoxelizeResult run(Progress& progress);
    Engine engine;
    RunSettings settings;
    VolumeCapture volume;
    std::filesystem::path dir;
    std::ostringstream log;
    bool ready = false;
};

// Decoded slice s (RGBA, top row first) of an output directory.
std::vector<std::uint8_t> readSlice(const std::filesystem::path& dir, int s, int* size = nullptr);

}  // namespace kubelmar::test
