#pragma once

#include <cstdint>
#include <vector>

#include "gl/gl_ext_loader.h"

namespace kubelmar {

// An N x N framebuffer object with one RGBA32UI colour renderbuffer and no
// depth: 128 bits a pixel, for passes that combine bit masks with the XOR
// logic op. Needs GL 3.0 (integer colour buffers, glClearBufferuiv).
class IntegerRenderTarget {
public:
    IntegerRenderTarget() = default;
    ~IntegerRenderTarget() { release(); }
    IntegerRenderTarget(const IntegerRenderTarget&) = delete;
    IntegerRenderTarget& operator=(const IntegerRenderTarget&) = delete;

    // (Re)creates the target at size x size pixels; context current. False
    // when the framebuffer is not complete (the GL can't render to RGBA32UI).
    bool create(GL_Ext_Loader& loader, int size);
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    int size() const { return size_; }

    // Binds the target, remembering the framebuffer bound before.
    void bind();
    // Rebinds the framebuffer that was bound before bind().
    void unbind();
    // Sets every pixel of the bound target to (0, 0, 0, 0).
    void clear();
    // Reads the bound target, bottom row first (GL window order): the four
    // words of pixel (column c, window row y) at 4 * (y * size + c).
    void readPixels(std::vector<std::uint32_t>& words) const { readRows(0, size_, words); }
    // Reads window rows first .. first + count - 1 the same way, row first
    // at the front.
    void readRows(int first, int count, std::vector<std::uint32_t>& words) const;

private:
    GL_Ext_Loader* loader_ = nullptr;
    GLuint framebuffer_ = 0;
    GLuint colorBuffer_ = 0;
    GLint previous_ = 0;
    int size_ = 0;
};

}  // namespace kubelmar
