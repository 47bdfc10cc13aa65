#include "voxel/axis_views.h"

#include "volume/slice_consumer.h"

namespace kubelmar {

// Eye coordinates of a mesh point (x, y, z) per depth view, and the surface
// the depth test keeps (largest eye z):
//   0 (0, 0, 0)    (x, y, z)    largest z      3 (0, 270, 0)  (-z, y, x)  largest x
//   1 (0, 180, 0)  (-x, y, -z)  smallest z     4 (90, 0, 0)   (x, -z, y)  largest y
//   2 (0, 90, 0)   (z, y, -x)   smallest x     5 (270, 0, 0)  (x, z, -y)  smallest y
const DepthViewInfo kDepthViews[6] = {
    {{0, 0, 0}, "RenderXPos.png"},   {{0, 180, 0}, "RenderXNeg.png"}, {{0, 90, 0}, "RenderYPos.png"},
    {{0, 270, 0}, "RenderYNeg.png"}, {{90, 0, 0}, "RenderZPos.png"},  {{270, 0, 0}, "RenderZNeg.png"},
};

// Eye coordinates of a mesh point per pass: XY (x, -z, y) seen from +y;
// XZ (x, -y, -z) seen from -z; YZ (z, y, -x) seen from -x.
const ClipPassInfo kClipPasses[3] = {
    {"Slicing XY: (Step 1 of 4)", {90, 0, 0}},
    {"Slicing XZ: (Step 2 of 4)", {180, 0, 0}},
    {"Slicing YZ: (Step 3 of 4)", {0, 90, 0}},
};

Mat4 axisRotation(const AxisView& view) {
    Mat4 rotation;
    rotation.setRotationXYZ(view.a, view.b, view.c);
    return rotation;
}

AxisView lastAxisView(VoxelMode mode) {
    if (mode == VoxelMode::Clipping) return kClipPasses[2].view;
    // The parity mode looks along z with the mesh unrotated: depth view 0.
    if (mode == VoxelMode::Parity) return kDepthViews[0].view;
    return kDepthViews[5].view;
}

}  // namespace kubelmar
