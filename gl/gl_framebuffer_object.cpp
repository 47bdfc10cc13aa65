#include "gl/gl_framebuffer_object.h"

#include <iostream>
#include <string>

namespace kubelmar {

namespace {
constexpr const char* kName = "GL_FrameBufferObject";

std::string format(const char* pattern, const char* name) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, name);
    return buffer;
}

// Status line for a glCheckFramebufferStatusEXT value; empty for complete.
// `name` stands in the place the message gives the object's name.
std::string framebufferStatusMessage(GLenum status, const char* name) {
    switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT: return {};
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
        return format("Error!  %s missing a required image/buffer attachment!\n", name);
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
        return format("Error!  %s has no images/buffers attached!\n", name);
    case 0x8CD8:
        return format("Error!  %s has an image/buffer attached in multiple locations!\n", name);
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
        return format("Error!  %s has mismatched image/buffer dimensions!\n", name);
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
        return format("Error!  %s's colorbuffer attachments have different types!\n", name);
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
        return format("Error!  %s trying to draw to non-attached color buffer!\n", name);
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
        return format("Error!  %s trying to read from a non-attached color buffer!\n", name);
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
        return format("Error!  %s format is not supported by current graphics card/driver!\n", name);
    case 0x8CDE: return "Error!  Non-framebuffer passed to glCheckFramebufferStatusEXT()!\n";
    default:
        return format("*UNKNOWN ERROR* reported from glCheckFramebufferStatusEXT() for %s!\n", name);
    }
}
}  // namespace

GL_FrameBufferObject::~GL_FrameBufferObject() { release(); }

void GL_FrameBufferObject::release() {
    if (depthRenderbuffer != 0) loader->glDeleteRenderbuffersEXT(1, &depthRenderbuffer);
    if (framebufferId != 0) loader->glDeleteFramebuffersEXT(1, &framebufferId);
    depthRenderbuffer = 0;
    framebufferId = 0;
}

void GL_FrameBufferObject::init(int w, int h, GLenum /*format*/, GLuint colorTexture,
                                GLuint depthTexture) {
    width = w;
    height = h;
    loader->glGenFramebuffersEXT(1, &framebufferId);
    FramebufferBinding during;
    during.bind(*loader, framebufferId);
    loader->glGenRenderbuffersEXT(1, &depthRenderbuffer);
    loader->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthRenderbuffer);
    loader->glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    loader->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                         GL_RENDERBUFFER_EXT, depthRenderbuffer);
    loader->glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                      colorTexture, 0);
    // Replaces the renderbuffer: rendering writes its depth into the texture,
    // which the depth views later draw as a picture.
    loader->glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                      depthTexture, 0);
    checkStatus();
    during.restore(*loader);
}

GLenum GL_FrameBufferObject::checkStatus() {
    const GLenum status = loader->glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    const std::string message = framebufferStatusMessage(status, kName);
    if (!message.empty() && log) {
        std::fputs(message.c_str(), log);
        std::fflush(log);
    }
    return status;
}

void GL_FrameBufferObject::bind(GLuint id) {
    if (framebufferId == 0) return;  // never initialised: nothing to bind
    binding_.bind(*loader, id);
}

void GL_FrameBufferObject::unbind() {
    if (framebufferId == 0) return;
    binding_.restore(*loader);
}

}  // namespace kubelmar
