#include <gtest/gtest.h>

#include "gl/gl_framebuffer_object.h"
#include "gl/render_target.h"
#include "gl_test_support.h"

namespace kubelmar::test {
namespace {

GLint boundFramebuffer() {
    GLint id = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &id);
    return id;
}

TEST(FramebufferStatus, MessagesCarryTwoBlanksAndTheName) {
    EXPECT_EQ(framebufferStatusMessage(GL_FRAMEBUFFER_COMPLETE_EXT, "F"), "");
    EXPECT_EQ(framebufferStatusMessage(GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT, "F"),
              "Error!  F missing a required image/buffer attachment!\n");
    EXPECT_EQ(framebufferStatusMessage(GL_FRAMEBUFFER_UNSUPPORTED_EXT, "F"),
              "Error!  F format is not supported by current graphics card/driver!\n");
    EXPECT_EQ(framebufferStatusMessage(0x8CDE, "F"),
              "Error!  Non-framebuffer passed to glCheckFramebufferStatusEXT()!\n");
    EXPECT_EQ(framebufferStatusMessage(0x1234, "F"),
              "*UNKNOWN ERROR* reported from glCheckFramebufferStatusEXT() for F!\n");
}

TEST(FramebufferObject, UninitialisedWrapperBindsNothing) {
    GL_FrameBufferObject fbo;  // no loader: any GL call through it would crash
    testing::internal::CaptureStdout();
    fbo.bind(fbo.framebufferId);
    fbo.unbind();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Invalid GL_FrameBufferObject index\n");
}

TEST(FramebufferObject, DepthTextureIsTheDepthAttachment) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, kModeDepthBuffer);
    ASSERT_TRUE(f.ready);
    Engine& e = f.engine;
    RenderTarget target;
    ASSERT_TRUE(target.create(e.extensionLoader, 64));
    target.bind();
    const GLint outer = boundFramebuffer();

    e.frameBuffer.bind(e.frameBuffer.framebufferId);
    EXPECT_EQ(e.frameBuffer.checkStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
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
    e.frameBuffer.unbind();
    EXPECT_EQ(boundFramebuffer(), outer);  // the caller's framebuffer, not 0

    e.showDepthTexture();
    std::vector<std::uint8_t> rgba;
    target.readPixels(rgba);
    target.unbind();
    EXPECT_EQ(rgba[(10 * 64 + 5) * 4], 64);     // round(255 * 0.25)
    EXPECT_EQ(rgba[(10 * 64 + 5) * 4 + 1], 64);
    EXPECT_EQ(rgba[(10 * 64 + 60) * 4], 255);   // background
}

TEST(RenderTarget, RestoresTheFramebufferBoundBefore) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, kModeClipping);
    ASSERT_TRUE(f.ready);
    RenderTarget outer, inner;
    ASSERT_TRUE(outer.create(f.engine.extensionLoader, 64));
    ASSERT_TRUE(inner.create(f.engine.extensionLoader, 128));
    outer.bind();
    const GLint before = boundFramebuffer();
    inner.bind();
    EXPECT_NE(boundFramebuffer(), before);
    inner.unbind();
    EXPECT_EQ(boundFramebuffer(), before);
    outer.unbind();
    EXPECT_EQ(boundFramebuffer(), 0);
}

}  // namespace
}  // namespace kubelmar::test
