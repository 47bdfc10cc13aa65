#include "gl/layered_target.h"

namespace kubelmar {

namespace {

GLuint makeArray(GL_Ext_Loader& loader, GLint internalFormat, GLenum format, GLenum type, int width, int height,
                 int layers) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D_ARRAY, texture);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    loader.glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, internalFormat, width, height, layers, 0, format, type, nullptr);
    glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
    return texture;
}

}  // namespace

bool LayeredTarget::supported(const GL_Ext_Loader& loader) {
    return loader.glTexImage3D && loader.glFramebufferTexture && loader.glFramebufferTextureLayer &&
           loader.glClearTexSubImage && loader.glBindFramebufferEXT;
}

bool LayeredTarget::create(GL_Ext_Loader& loader, int width, int height, int layers) {
    release();
    if (!supported(loader) || width < 1 || height < 1 || layers < 1) return false;
    loader_ = &loader;
    width_ = width;
    height_ = height;
    layers_ = layers;
    colour_ = makeArray(loader, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, width, height, layers);
    // The same depth format as the slab-by-slab target: polygon offset
    // depends on the depth buffer's resolution.
    depth_ = makeArray(loader, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, width, height, layers);
    loader.glGenFramebuffersEXT(1, &framebuffer_);
    loader.glGenFramebuffersEXT(1, &readFramebuffer_);
    FramebufferBinding during;
    during.bind(loader, framebuffer_);
    loader.glFramebufferTexture(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, colour_, 0);
    loader.glFramebufferTexture(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, depth_, 0);
    const GLenum status = loader.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    during.restore(loader);
    // Out of memory or a format the GL can't render to leaves an error.
    bool failed = status != GL_FRAMEBUFFER_COMPLETE_EXT;
    while (glGetError() != GL_NO_ERROR) failed = true;
    if (failed) {
        release();
        return false;
    }
    readLayer_ = -1;
    return true;
}

void LayeredTarget::release() {
    if (!loader_) return;
    if (framebuffer_) loader_->glDeleteFramebuffersEXT(1, &framebuffer_);
    if (readFramebuffer_) loader_->glDeleteFramebuffersEXT(1, &readFramebuffer_);
    if (colour_) glDeleteTextures(1, &colour_);
    if (depth_) glDeleteTextures(1, &depth_);
    abandon();
}

void LayeredTarget::abandon() {
    loader_ = nullptr;
    framebuffer_ = readFramebuffer_ = colour_ = depth_ = 0;
    readLayer_ = -1;
    width_ = height_ = layers_ = 0;
}

void LayeredTarget::bind() { binding_.bind(*loader_, framebuffer_); }

void LayeredTarget::unbind() { binding_.restore(*loader_); }

void LayeredTarget::clearLayer(int layer, int x, int y, int width, int height) {
    const std::uint8_t black[4] = {0, 0, 0, 255};
    const float far = 1.0f;
    loader_->glClearTexSubImage(colour_, 0, x, y, layer, width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE, black);
    loader_->glClearTexSubImage(depth_, 0, x, y, layer, width, height, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &far);
}

void LayeredTarget::readLayer(int layer, int x, int y, int width, int height, std::vector<std::uint8_t>& rgba) {
    rgba.resize(static_cast<std::size_t>(width) * height * 4);
    readLayer(layer, x, y, width, height, rgba.data());
}

void LayeredTarget::readLayer(int layer, int x, int y, int width, int height, std::uint8_t* rgba) {
    FramebufferBinding during;
    during.bind(*loader_, readFramebuffer_);
    if (layer != readLayer_) {
        loader_->glFramebufferTextureLayer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, colour_, 0, layer);
        readLayer_ = layer;
    }
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    during.restore(*loader_);
}

}  // namespace kubelmar
