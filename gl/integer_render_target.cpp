#include "gl/integer_render_target.h"

namespace kubelmar {

bool IntegerRenderTarget::create(GL_Ext_Loader& loader, int size) {
    release();
    loader_ = &loader;
    size_ = size;
    GLint before = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &before);
    loader.glGenFramebuffersEXT(1, &framebuffer_);
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    loader.glGenRenderbuffersEXT(1, &colorBuffer_);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colorBuffer_);
    loader.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA32UI, size, size);
    loader.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                        colorBuffer_);
    const GLenum status = loader.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    loader.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(before));
    // A GL that can't store the format leaves an error behind; don't let a
    // later check pick it up.
    while (glGetError() != GL_NO_ERROR) {
    }
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
        release();
        return false;
    }
    return true;
}

void IntegerRenderTarget::release() {
    if (!loader_) return;
    if (colorBuffer_) loader_->glDeleteRenderbuffersEXT(1, &colorBuffer_);
    if (framebuffer_) loader_->glDeleteFramebuffersEXT(1, &framebuffer_);
    colorBuffer_ = framebuffer_ = 0;
    size_ = 0;
}

void IntegerRenderTarget::abandon() {
    loader_ = nullptr;
    colorBuffer_ = framebuffer_ = 0;
    size_ = 0;
}

void IntegerRenderTarget::bind() {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous_);
    loader_->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
}

void IntegerRenderTarget::unbind() {
    loader_->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous_));
    previous_ = 0;
}

void IntegerRenderTarget::clear() {
    const GLuint zero[4] = {0, 0, 0, 0};
    loader_->glClearBufferuiv(GL_COLOR, 0, zero);
}

void IntegerRenderTarget::readRows(int first, int count, std::vector<std::uint32_t>& words) const {
    words.resize(static_cast<std::size_t>(size_) * count * 4);
    glReadPixels(0, first, size_, count, GL_RGBA_INTEGER, GL_UNSIGNED_INT, words.data());
}

}  // namespace kubelmar
