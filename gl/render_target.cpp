#include "gl/render_target.h"

#include <cassert>

namespace kubelmar {

// Adds a width_ x height_ renderbuffer at `attachment` of the bound framebuffer.
GLuint RenderTarget::addRenderbuffer(GLenum internalFormat, GLenum attachment) {
    GLuint buffer = 0;
    loader_->glGenRenderbuffersEXT(1, &buffer);
    loader_->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffer);
    loader_->glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, internalFormat, width_, height_);
    loader_->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, attachment, GL_RENDERBUFFER_EXT, buffer);
    return buffer;
}

bool RenderTarget::create(GL_Ext_Loader& loader, int width, int height, Format format) {
    release();
    loader_ = &loader;
    format_ = format;
    width_ = width;
    height_ = height;
    loader.glGenFramebuffersEXT(1, &framebuffer_);
    FramebufferBinding during;
    during.bind(loader, framebuffer_);
    if (format == Format::Integer) {
        colorBuffer_ = addRenderbuffer(GL_RGBA32UI, GL_COLOR_ATTACHMENT0_EXT);
    } else {
        colorBuffer_ = addRenderbuffer(GL_RGBA8, GL_COLOR_ATTACHMENT0_EXT);
        depthBuffer_ = addRenderbuffer(GL_DEPTH_COMPONENT24, GL_DEPTH_ATTACHMENT_EXT);
    }
    const GLenum status = loader.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    loader.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    during.restore(loader);
    // A GL that can't store an integer format leaves an error behind; don't
    // let a later check pick it up.
    if (format == Format::Integer) {
        while (glGetError() != GL_NO_ERROR) {
        }
    }
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
    width_ = height_ = 0;
}

void RenderTarget::abandon() {
    loader_ = nullptr;
    colorBuffer_ = depthBuffer_ = framebuffer_ = 0;
    width_ = height_ = 0;
}

void RenderTarget::bind() { binding_.bind(*loader_, framebuffer_); }

void RenderTarget::unbind() { binding_.restore(*loader_); }

void RenderTarget::readPixels(std::vector<std::uint8_t>& rgba) const { readPixels(0, 0, width_, height_, rgba); }

void RenderTarget::readPixels(int x, int y, int width, int height, std::vector<std::uint8_t>& rgba) const {
    rgba.resize(static_cast<std::size_t>(width) * height * 4);
    readPixels(x, y, width, height, rgba.data());
}

void RenderTarget::readPixels(int x, int y, int width, int height, std::uint8_t* rgba) const {
    assert(format_ == Format::ColourDepth);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

void RenderTarget::clear() {
    assert(format_ == Format::Integer);
    const GLuint zero[4] = {0, 0, 0, 0};
    loader_->glClearBufferuiv(GL_COLOR, 0, zero);
}

void RenderTarget::readRows(int first, int count, std::vector<std::uint32_t>& words, int width) const {
    assert(format_ == Format::Integer);
    if (width <= 0) width = width_;
    words.resize(static_cast<std::size_t>(width) * count * 4);
    glReadPixels(0, first, width, count, GL_RGBA_INTEGER, GL_UNSIGNED_INT, words.data());
}

}  // namespace kubelmar
