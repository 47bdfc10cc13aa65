#include "voxel/engine.h"

namespace kubelmar {

// Eye coordinates of a mesh point (x, y, z) per view, and the surface the
// depth test keeps (largest eye z):
//   0 (0, 0, 0)    (x, y, z)    largest z      3 (0, 270, 0)  (-z, y, x)  largest x
//   1 (0, 180, 0)  (-x, y, -z)  smallest z     4 (90, 0, 0)   (x, -z, y)  largest y
//   2 (0, 90, 0)   (z, y, -x)   smallest x     5 (270, 0, 0)  (x, z, -y)  smallest y
const DepthViewInfo kDepthViews[6] = {
    {0, 0, 0, "RenderXPos.png"},   {0, 180, 0, "RenderXNeg.png"}, {0, 90, 0, "RenderYPos.png"},
    {0, 270, 0, "RenderYNeg.png"}, {90, 0, 0, "RenderZPos.png"},  {270, 0, 0, "RenderZNeg.png"},
};

void Engine::setAxisView(float a, float b, float c) {
    Mat4 rotation;
    rotation.setRotationXYZ(a, b, c);
    arcBall.setOrientation(rotation);
}

// Renders view `view` into the 1024 x 1024 depth-view target (lower-left
// N x N texels). Leaves the previous framebuffer bound and the projection and
// model-view matrices of the view in place.
void Engine::renderDepthView(int view) {
    frameBuffer.bind(frameBuffer.framebufferId);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, voxelSize, voxelSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Window depth of eye z': (1 - z'/1024) / 2, 0 nearest to the viewer.
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const DepthViewInfo& info = kDepthViews[view];
    setAxisView(info.a, info.b, info.c);
    glMultMatrixf(arcBall.transform.m);
    if (depthClampSupported_) glEnable(GL_DEPTH_CLAMP);
    drawer_.draw();
    if (depthClampSupported_) glDisable(GL_DEPTH_CLAMP);
    frameBuffer.unbind();
}

// Draws the depth texture as a grey picture (depth x 255 in every channel)
// into the bound framebuffer, texel (u, v) on pixel (u, v).
void Engine::showDepthTexture() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, kTextureSize, kTextureSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-1024, -1024, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-1024, 1024, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1024, 1024, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1024, -1024, 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace kubelmar
