#pragma once

#include "gl/mesh_drawer.h"
#include "math/arcball.h"
#include "math/matrix.h"

namespace kubelmar {

// The interactive view of the mesh: the user's rotation (an arcball) and
// the picture of the mesh under it. Orthographic onto the cube -1024..1024
// (mesh units) that every prepared mesh lies in.
class MeshView {
public:
    // A fresh rotation for a width x height view (pixels).
    void reset(int width, int height);
    void resize(int width, int height);
    // Draws the mesh with the rotation into the bound framebuffer, unlit,
    // the vertex colours replacing white. Changes viewport and both matrices.
    void paint(const MeshDrawer* drawer, int width, int height) const;

    // Mouse rotation: points in view pixels, origin top left.
    void click(float x, float y);
    void drag(float x, float y);
    void release();

    // Puts the view on a fixed orientation (an axis view).
    void setOrientation(const Mat4& rotation) { arcBall_.setOrientation(rotation); }
    const Mat4& rotation() const { return arcBall_.transform; }

private:
    ArcBall arcBall_;
};

}  // namespace kubelmar
