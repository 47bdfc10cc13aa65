#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gl/gl_framebuffer_object.h"
#include "gl/render_target.h"
#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

GLint boundFramebuffer() {
    GLint id = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &id);
    return id;
}

TEST(FramebufferObject, UninitialisedWrapperBindsNothing) {
    GL_FrameBufferObject fbo;  // no loader: any GL call through it would crash
    fbo.bind(fbo.framebufferId);
    fbo.unbind();
}

TEST(FramebufferObject, DepthTextureIsTheDepthAttachment) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::DepthBuffer);
    ASSERT_TRUE(f.ready);
    GL_Ext_Loader& loader = f.engine.extensionLoader();
    RenderTarget target;
    ASSERT_TRUE(target.create(loader, 64));
    target.bind();
    const GLint outer = boundFramebuffer();

    GLuint textures[2];
    glGenTextures(2, textures);
    for (int t = 0; t < 2; ++t) {
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        const GLenum format = t == 0 ? GL_RGBA : GL_DEPTH_COMPONENT;
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), 64, 64, 0, format, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    GL_FrameBufferObject fbo;
    fbo.loader = &loader;
    fbo.init(64, 64, GL_RGBA, textures[0], textures[1]);
    fbo.bind(fbo.framebufferId);
    EXPECT_EQ(fbo.checkStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_POLYGON_OFFSET_FILL);
    // Left half at eye z = 512 (depth 0.25), right half untouched (1.0).
    glBegin(GL_QUADS);
    glVertex3f(-1024, -1024, 512);
    glVertex3f(0, -1024, 512);
    glVertex3f(0, 1024, 512);
    glVertex3f(-1024, 1024, 512);
    glEnd();
    glEnable(GL_POLYGON_OFFSET_FILL);
    float depth[2] = {0, 0};
    glReadPixels(5, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth[0]);
    glReadPixels(60, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth[1]);
    fbo.unbind();
    EXPECT_EQ(boundFramebuffer(), outer);  // the caller's framebuffer, not 0
    EXPECT_NEAR(depth[0], 0.25f, 1e-4);
    EXPECT_EQ(depth[1], 1.0f);
    target.unbind();
    fbo.release();
    glDeleteTextures(2, textures);
}

TEST(RenderTarget, RestoresTheFramebufferBoundBefore) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    RenderTarget outer, inner;
    ASSERT_TRUE(outer.create(f.engine.extensionLoader(), 64));
    ASSERT_TRUE(inner.create(f.engine.extensionLoader(), 128));
    outer.bind();
    const GLint before = boundFramebuffer();
    inner.bind();
    EXPECT_NE(boundFramebuffer(), before);
    inner.unbind();
    EXPECT_EQ(boundFramebuffer(), before);
    outer.unbind();
    EXPECT_EQ(boundFramebuffer(), 0);
}

TEST(RenderTarget, IntegerTargetKeepsWholeWordsAndClearsToZero) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Parity);
    ASSERT_TRUE(f.ready);
    GL_Ext_Loader& loader = f.engine.extensionLoader();
    if (!loader.glClearBufferuiv) GTEST_SKIP() << "no GL 3.0";
    RenderTarget colour, words;
    ASSERT_TRUE(colour.create(loader, 8));
    ASSERT_TRUE(words.create(loader, 8, RenderTarget::Format::Integer));
    EXPECT_EQ(words.format(), RenderTarget::Format::Integer);
    colour.bind();
    const GLint outer = boundFramebuffer();
    words.bind();
    // Bits a normalised format would round away: every one must come back.
    const GLuint pattern[4] = {0xFFFFFFFFu, 0x80000001u, 0x12345678u, 0u};
    loader.glClearBufferuiv(GL_COLOR, 0, pattern);
    std::vector<std::uint32_t> read;
    words.readPixels(read);
    ASSERT_EQ(read.size(), 8u * 8u * 4u);
    for (std::size_t i = 0; i < read.size(); ++i) ASSERT_EQ(read[i], pattern[i % 4]) << i;
    // Only rows 2..4 cleared: readRows must return those rows, first at the front.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 2, 8, 3);
    words.clear();
    glDisable(GL_SCISSOR_TEST);
    words.readRows(1, 5, read);
    ASSERT_EQ(read.size(), 8u * 5u * 4u);
    for (int row = 0; row < 5; ++row) {
        const bool cleared = row >= 1 && row <= 3;
        for (int word = 0; word < 8 * 4; ++word)
            ASSERT_EQ(read[static_cast<std::size_t>(row * 8 * 4 + word)], cleared ? 0u : pattern[word % 4])
                << row << " " << word;
    }
    words.unbind();
    EXPECT_EQ(boundFramebuffer(), outer);
    colour.unbind();
}

}  // namespace
}  // namespace kubelmar::test
