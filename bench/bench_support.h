#pragma once

// What the benchmark programs share: a headless GL context with an engine
// on it and one mesh loaded, each failure printed as one line.
#include <cstdio>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "gl/egl_context.h"

namespace kubelmar::bench {

struct BenchGL {
    std::unique_ptr<HeadlessGLContext> context;
    Engine engine;
};

// Makes the context and starts the engine on it (a small view: benchmarks
// draw no frame).
inline bool startBenchGL(BenchGL& gl) {
    std::string error;
    gl.context = HeadlessGLContext::create(&error);
    if (!gl.context) {
        std::fprintf(stderr, "no OpenGL context: %s\n", error.c_str());
        return false;
    }
    return static_cast<bool>(gl.engine.initializeGL(gl.context->resolver(), 64, 64));
}

inline bool loadBenchMesh(Engine& engine, const char* path) {
    const MeshLoadResult loaded = engine.loadMesh(path);
    if (!loaded.ok) std::fprintf(stderr, "Error loading %s: %s\n", path, loaded.errorText().c_str());
    return loaded.ok;
}

}  // namespace kubelmar::bench
