#pragma once

#include <cstdio>

#include <string>

#include "gl/framebuffer_binding.h"
#include "gl/gl_ext_loader.h"

namespace kubelmar {

// A framebuffer object assembled from a caller-owned colour texture and
// depth texture (the depth texture, not the renderbuffer, ends up as the
// depth attachment). Destroy it while its context is current.
class GL_FrameBufferObject {
public:
    GL_FrameBufferObject() = default;
    ~GL_FrameBufferObject();
    GL_FrameBufferObject(const GL_FrameBufferObject&) = delete;
    GL_FrameBufferObject& operator=(const GL_FrameBufferObject&) = delete;

    // Creates and checks the object; leaves the previously bound framebuffer
    // bound again.
    void init(int width, int height, GLenum format, GLuint colorTexture, GLuint depthTexture);
    // Prints one "Error!  ..." line for any status but complete; returns the status.
    GLenum checkStatus();
    // Binds `id`, remembering the framebuffer bound before (a toolkit's
    // default framebuffer need not be 0).
    void bind(GLuint id);
    // Rebinds the framebuffer that was bound before bind().
    void unbind();
    // Deletes the GL objects now (context current); the destructor then does nothing.
    void release();

    int width = 0;
    int height = 0;
    GLuint framebufferId = 0;
    GLuint depthRenderbuffer = 0;
    GL_Ext_Loader* loader = nullptr;
    std::FILE* log = nullptr;  // status lines go here; nowhere when null

private:
    FramebufferBinding binding_;
};

}  // namespace kubelmar
