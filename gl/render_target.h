#pragma once

#include <cstdint>
#include <vector>

#include "gl/gl_ext_loader.h"

namespace kubelmar {

// An N x N colour (RGBA8) + depth (24 bit) framebuffer object standing in for
// the view's own picture: slabs are rendered and depth textures shown here,
// so results never depend on a window being visible or exactly N x N.
class RenderTarget {
public:
    RenderTarget() = default;
    ~RenderTarget() { release(); }
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // (Re)creates the target at size x size pixels; context current.
    bool create(GL_Ext_Loader& loader, int size);
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    int size() const { return size_; }

    // Binds the target, remembering the framebuffer bound before.
    void bind();
    // Rebinds the framebuffer that was bound before bind().
    void unbind();
    // Reads the bound target's colour as RGBA bytes, bottom row first (GL
    // window order): pixel (column c, window row y) at 4 * (y * size + c).
    void readPixels(std::vector<std::uint8_t>& rgba) const;
    // Reads the window rectangle (x, y) .. (x + width - 1, y + height - 1)
    // the same way, rows of `width` pixels, bottom row first.
    void readPixels(int x, int y, int width, int height, std::vector<std::uint8_t>& rgba) const;

private:
    GL_Ext_Loader* loader_ = nullptr;
    GLuint framebuffer_ = 0;
    GLuint colorBuffer_ = 0;
    GLuint depthBuffer_ = 0;
    GLint previous_ = 0;
    int size_ = 0;
};

}  // namespace kubelmar
