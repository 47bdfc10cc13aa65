#include "gl/render_target.h"

namespace kubelmar {

bool RenderTarget::create(GL_Ext_Loader& loader, int size) {
    release();
    loader_ = &loader;
    size_ = size;
    GLint before = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &before);
    loader.glGenFramebuffersEXT(1, &framebuffer_);
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    loader.glGenRenderbuffersEXT(1, &colorBuffer_);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colorBuffer_);
    loader.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, size, size);
    loader.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                        GL_RENDERBUFFER_EXT, colorBuffer_);
    loader.glGenRenderbuffersEXT(1, &depthBuffer_);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer_);
    loader.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, size, size);
    loader.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                        GL_RENDERBUFFER_EXT, depthBuffer_);
    const GLenum status = loader.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(before));
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
        release();
        return false;
    }
    return true;
}

void RenderTarget::release() {
    if (!loader_) return;
    if (colorBuffer_) loader_->glDeleteRenderbuffersEXT(1, &colorBuffer_);
    if (depthBuffer_) loader_->glDeleteRenderbuffersEXT(1, &depthBuffer_);
    if (framebuffer_) loader_->glDeleteFramebuffersEXT(1, &framebuffer_);
    colorBuffer_ = depthBuffer_ = framebuffer_ = 0;
    size_ = 0;
}

void RenderTarget::abandon() {
    loader_ = nullptr;
    colorBuffer_ = depthBuffer_ = framebuffer_ = 0;
    size_ = 0;
}

void RenderTarget::bind() {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous_);
    loader_->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
}

void RenderTarget::unbind() {
    loader_->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous_));
    previous_ = 0;
}

void RenderTarget::readPixels(std::vector<std::uint8_t>& rgba) const {
    readPixels(0, 0, size_, size_, rgba);
}

void RenderTarget::readPixels(int x, int y, int width, int height, std::vector<std::uint8_t>& rgba) const {
    rgba.resize(static_cast<std::size_t>(width) * height * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

}  // namespace kubelmar
