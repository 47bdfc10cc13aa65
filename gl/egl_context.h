#pragma once

#include <memory>
#include <string>

#include "gl/gl_headers.h"

namespace kubelmar {

// A headless desktop-GL compatibility-profile context made through EGL, with
// no surface (rendering goes to framebuffer objects only). Tries GPU devices
// of the EGL device platform, then Mesa's surfaceless platform, then software
// devices and the default display. No X server is needed. Several contexts
// may live in one process; the display is ended with the last of them.
class HeadlessGLContext {
public:
    ~HeadlessGLContext();
    HeadlessGLContext(const HeadlessGLContext&) = delete;
    HeadlessGLContext& operator=(const HeadlessGLContext&) = delete;

    // Creates the context and makes it current; null and a reason on failure.
    static std::unique_ptr<HeadlessGLContext> create(std::string* error);

    // Makes the context current on the calling thread. A context is current
    // on one thread at a time: another thread must call doneCurrent() first.
    bool makeCurrent();
    // Leaves the calling thread with no current context (EGL's, whichever it was).
    bool doneCurrent();
    GLProcResolver resolver() const;
    // Renderer and version strings, for logs and benchmarks.
    std::string description() const;

private:
    HeadlessGLContext() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace kubelmar
