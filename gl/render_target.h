#pragma once

#include <cstdint>
#include <vector>

#include "gl/framebuffer_binding.h"
#include "gl/gl_ext_loader.h"

namespace kubelmar {

// A W x H framebuffer object of renderbuffers, standing in for the view's
// own picture so that results never depend on a window being visible or
// exactly that size. Pixels are addressed in GL window order: column c, row y
// counted from the bottom.
class RenderTarget {
public:
    enum class Format {
        // RGBA8 colour + 24-bit depth: slabs are rendered and depth textures
        // shown here; read back as bytes.
        ColourDepth,
        // One RGBA32UI colour buffer, no depth: 128 bits a pixel, for passes
        // that combine bit masks with the XOR logic op; read back as words.
        // Needs GL 3.0 (integer colour buffers, glClearBufferuiv).
        Integer,
    };

    RenderTarget() = default;
    ~RenderTarget() { release(); }
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // (Re)creates the target at width x height pixels; context current.
    // False when the framebuffer is not complete (the GL can't render to
    // the format at that size); the target is then released.
    bool create(GL_Ext_Loader& loader, int width, int height, Format format = Format::ColourDepth);
    bool create(GL_Ext_Loader& loader, int size, Format format = Format::ColourDepth) {
        return create(loader, size, size, format);
    }
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    // 0 when not created; size() is the width.
    int size() const { return width_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool hasSize(int width, int height) const { return width_ == width && height_ == height; }
    Format format() const { return format_; }

    // Binds the target, remembering the framebuffer bound before.
    void bind();
    // Rebinds the framebuffer that was bound before bind().
    void unbind();

    // ColourDepth: reads the bound target's colour as RGBA bytes, bottom row
    // first: pixel (c, y) at 4 * (y * width + c).
    void readPixels(std::vector<std::uint8_t>& rgba) const;
    // ColourDepth: reads the window rectangle (x, y) .. (x + width - 1,
    // y + height - 1) the same way, rows of `width` pixels, bottom row first.
    void readPixels(int x, int y, int width, int height, std::vector<std::uint8_t>& rgba) const;
    // The same into width x height x 4 bytes at `rgba`.
    void readPixels(int x, int y, int width, int height, std::uint8_t* rgba) const;

    // Integer: sets every pixel of the bound target (within the scissor box
    // when that test is on) to (0, 0, 0, 0).
    void clear();
    // Integer: reads the bound target, bottom row first: the four words of
    // pixel (c, y) at 4 * (y * width + c).
    void readPixels(std::vector<std::uint32_t>& words) const { readRows(0, height_, words); }
    // Integer: reads window rows first .. first + count - 1 the same way,
    // row `first` at the front; `width` pixels of each (0: the target's).
    void readRows(int first, int count, std::vector<std::uint32_t>& words, int width = 0) const;

private:
    GLuint addRenderbuffer(GLenum internalFormat, GLenum attachment);

    GL_Ext_Loader* loader_ = nullptr;
    Format format_ = Format::ColourDepth;
    GLuint framebuffer_ = 0;
    GLuint colorBuffer_ = 0;
    GLuint depthBuffer_ = 0;  // ColourDepth only
    FramebufferBinding binding_;
    int width_ = 0, height_ = 0;
};

}  // namespace kubelmar
