#pragma once

#include <cstdint>
#include <vector>

#include "gl/framebuffer_binding.h"
#include "gl/gl_ext_loader.h"

namespace kubelmar {

// `layers` pictures of width x height pixels drawn in one pass: an RGBA8 and a
// 24-bit depth 2D texture array bound as one layered framebuffer, so that a
// geometry shader picks each primitive's layer (gl_Layer). Layers are
// cleared and read back one rectangle at a time (a clear through the GL
// would clear every layer, within the scissor box only by drawing a quad
// into each). Pixels are addressed in
// GL window order: column c, row y counted from the bottom.
class LayeredTarget {
public:
    LayeredTarget() = default;
    ~LayeredTarget() { release(); }
    LayeredTarget(const LayeredTarget&) = delete;
    LayeredTarget& operator=(const LayeredTarget&) = delete;

    // True when the GL has what a layered target needs (GL 3.2 entry points
    // and glClearTexSubImage, GL 4.4).
    static bool supported(const GL_Ext_Loader& loader);
    // (Re)creates the target; context current. False when the GL lacks the
    // entry points or can't render to the arrays at that size (the target is
    // then released).
    bool create(GL_Ext_Loader& loader, int width, int height, int layers);
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    int width() const { return width_; }    // 0 when not created
    int height() const { return height_; }
    int layers() const { return layers_; }

    // Binds the layered framebuffer, remembering the one bound before.
    void bind();
    // Rebinds the framebuffer that was bound before bind().
    void unbind();
    // Sets the window rectangle (x, y) .. (x + width - 1, y + height - 1) of
    // `layer` to opaque black at depth 1 (what glClear gives with clear
    // colour (0, 0, 0, 1) and clear depth 1).
    void clearLayer(int layer, int x, int y, int width, int height);
    // Reads the window rectangle (x, y) .. (x + width - 1, y + height - 1)
    // of `layer` as RGBA bytes, rows of `width` pixels, bottom row first.
    // Binds its own read framebuffer for the call and restores the binding.
    void readLayer(int layer, int x, int y, int width, int height, std::vector<std::uint8_t>& rgba);
    // The same into width x height x 4 bytes at `rgba`.
    void readLayer(int layer, int x, int y, int width, int height, std::uint8_t* rgba);

private:
    GL_Ext_Loader* loader_ = nullptr;
    GLuint framebuffer_ = 0;  // both arrays, all layers
    GLuint readFramebuffer_ = 0;  // one colour layer at a time
    GLuint colour_ = 0;
    GLuint depth_ = 0;
    int readLayer_ = -1;  // the layer attached to readFramebuffer_
    FramebufferBinding binding_;
    int width_ = 0, height_ = 0;
    int layers_ = 0;
};

}  // namespace kubelmar
