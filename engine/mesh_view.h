#pragma once

#include "gl/mesh_drawer.h"
#include "math/arcball.h"
#include "math/matrix.h"
#include "mesh/mesh.h"
#include "mesh/mesh_frame.h"

namespace kubelmar {

// The interactive view of the mesh: the user's rotation (an arcball), zoom
// and lighting, and the picture of the mesh under them. Orthographic,
// centred on the origin of the frame cube (kFrameHalfSide, mesh units) that
// every prepared mesh lies in.
//
// Zoom 1 frames the mesh's bounding sphere about the origin in the view's
// shorter side, so no rotation at zoom <= 1 puts any of it outside the
// view; larger zooms come closer.
class MeshView {
public:
    static constexpr float kMinZoom = 0.1f;
    static constexpr float kMaxZoom = 50.0f;

    // A fresh rotation for a width x height view (pixels); zoom back to 1.
    void reset(int width, int height);
    void resize(int width, int height);
    // Draws the mesh with the rotation and zoom into the bound framebuffer
    // after clearing it. Shaded: lit by a white headlight (a directional
    // light along the eye's -z, so every rotation is lit from the viewer),
    // the vertex colours as the material; otherwise unlit, the vertex
    // colours as they are. Changes viewport and both matrices; leaves
    // lighting off.
    void paint(const MeshDrawer* drawer, int width, int height) const;

    // Mouse rotation: points in view pixels, origin top left.
    void click(float x, float y);
    void drag(float x, float y);
    void release();

    // Puts the view on a fixed orientation (an axis view).
    void setOrientation(const Mat4& rotation) { arcBall_.setOrientation(rotation); }
    const Mat4& rotation() const { return arcBall_.transform; }

    void setShaded(bool shaded) { shaded_ = shaded; }
    bool shaded() const { return shaded_; }

    // Measures the prepared mesh's bounding sphere about the origin (mesh
    // units) and fits the view to it. An empty mesh frames the whole cube.
    void frameMesh(const Mesh& mesh);
    // Zoom 1: the whole mesh in view, whatever the rotation.
    void fit() { zoom_ = 1.0f; }
    // Multiplies the zoom by `factor`, kept within kMinZoom..kMaxZoom.
    void zoomBy(float factor);
    float zoom() const { return zoom_; }

private:
    // Viewport and projection for a width x height view; model-view identity.
    void project(int width, int height) const;

    ArcBall arcBall_;
    bool shaded_ = true;
    float zoom_ = 1.0f;
    float radius_ = kFrameCornerRadius;  // mesh units: the cube's corners, until a mesh is framed
};

}  // namespace kubelmar
