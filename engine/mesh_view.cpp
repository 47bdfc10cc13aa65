#include "engine/mesh_view.h"

namespace kubelmar {

void MeshView::reset(int width, int height) {
    arcBall_ = ArcBall(static_cast<float>(width), static_cast<float>(height));
}

void MeshView::resize(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    arcBall_.setBounds(static_cast<float>(width), static_cast<float>(height));
}

void MeshView::paint(const MeshDrawer* drawer, int width, int height) const {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMultMatrixf(arcBall_.transform.m);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    if (drawer) drawer->draw();
}

void MeshView::click(float x, float y) { arcBall_.click(Vec4(x, y, 0.0f)); }
void MeshView::drag(float x, float y) { arcBall_.drag(Vec4(x, y, 0.0f)); }
void MeshView::release() { arcBall_.isDragging = false; }

}  // namespace kubelmar
