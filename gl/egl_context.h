#pragma once

#include <memory>
#include <string>

#include "gl/gl_headers.h"

namespace kubelmar {

// A headless desktop-GL compatibility-profile context made through EGL, with
// no surface (rendering goes to framebuffer objects only). Tries GPU devices
// of the EGL device platform, then Mesa's surfaceless platform, then software
// devices and the default display. No X server is needed.
class HeadlessGLContext {
public:
    ~HeadlessGLContext();
    HeadlessGLContext(const HeadlessGLContext&) = delete;
    HeadlessGLContext& operator=(const HeadlessGLContext&) = delete;

    // Creates the context and makes it current; null and a reason on failure.
    static std::unique_ptr<HeadlessGLContext> create(std::string* error);

    bool makeCurrent();
    GLProcResolver resolver() const;
    // Renderer and version strings, for logs and benchmarks.
    std::string description() const;

private:
    HeadlessGLContext() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace kubelmar
