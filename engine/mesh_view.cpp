#include "engine/mesh_view.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

namespace {

// The mesh's sphere fills this share of the view's shorter side at zoom 1,
// leaving a margin so its outline doesn't touch the edge.
constexpr float kFitShare = 0.95f;

void setHeadlight() {
    // Set with the model-view at identity, so the directions are in eye
    // coordinates and turn with the eye. Meshes come with either winding,
    // so some normals point away from the viewer: a second light from
    // behind gives those the same brightness (|N.L| in effect). The
    // two-sided light model would do the same, but llvmpipe lights front
    // faces wrongly with it.
    const GLfloat towardsViewer[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    const GLfloat awayFromViewer[4] = {0.0f, 0.0f, -1.0f, 0.0f};
    const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    for (GLenum light : {GL_LIGHT0, GL_LIGHT1}) {
        glLightfv(light, GL_POSITION, light == GL_LIGHT0 ? towardsViewer : awayFromViewer);
        glLightfv(light, GL_DIFFUSE, diffuse);
        glLightfv(light, GL_AMBIENT, none);
        glLightfv(light, GL_SPECULAR, none);
        glEnable(light);
    }
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
}

void clearHeadlight() {
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
    glDisable(GL_NORMALIZE);
    glDisable(GL_COLOR_MATERIAL);
    // GL's default global ambient.
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
}

}  // namespace

void MeshView::reset(int width, int height) {
    arcBall_ = ArcBall(static_cast<float>(width), static_cast<float>(height));
    zoom_ = 1.0f;
}

void MeshView::project(int width, int height) const {
    glViewport(0, 0, width, height);
    // Half the shorter side spans the framed sphere; the longer side shows
    // more of the scene, so pixels stay square.
    const float half = radius_ / (kFitShare * zoom_);
    const float w = float(std::max(width, 1)), h = float(std::max(height, 1));
    const float halfX = w >= h ? half * w / h : half, halfY = w >= h ? half : half * h / w;
    // Depth covers the sphere at any rotation; zoom never cuts it.
    const double depth = double(radius_) * 1.01 + 1.0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-halfX, halfX, -halfY, halfY, -depth, depth);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void MeshView::resize(int width, int height) {
    project(width, height);
    arcBall_.setBounds(static_cast<float>(width), static_cast<float>(height));
}

void MeshView::paint(const MeshDrawer* drawer, int width, int height) const {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    project(width, height);
    if (shaded_) setHeadlight();
    glMultMatrixf(arcBall_.transform.m);
    if (!shaded_) glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    if (drawer) drawer->draw();
    clearHeadlight();
}

void MeshView::frameMesh(const Mesh& mesh) {
    float farthest = 0.0f;
    for (int v = 0; v < mesh.vertexCount && v < int(mesh.positions.size()); ++v) {
        const Float3& p = mesh.positions[std::size_t(v)];
        farthest = std::max(farthest, p.x * p.x + p.y * p.y + p.z * p.z);
    }
    radius_ = farthest > 0.0f ? std::sqrt(farthest) : kFrameCornerRadius;
    fit();
}

void MeshView::zoomBy(float factor) {
    if (!(factor > 0.0f)) return;
    zoom_ = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
}

void MeshView::click(float x, float y) { arcBall_.click(Vec4(x, y, 0.0f)); }
void MeshView::drag(float x, float y) { arcBall_.drag(Vec4(x, y, 0.0f)); }
void MeshView::release() { arcBall_.isDragging = false; }

}  // namespace kubelmar
