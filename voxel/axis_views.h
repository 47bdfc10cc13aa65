#pragma once

#include "math/matrix.h"
#include "volume/voxel_mode.h"

namespace kubelmar {

// A fixed view along a mesh axis: rotations about x, y and z in degrees,
// applied to a point in the order z, then y, then x.
struct AxisView {
    float a, b, c;
};

// The rotation matrix of an axis view (the view's model-view rotation).
Mat4 axisRotation(const AxisView& view);

// The six depth views of the depth-buffer mode, in view order, with the
// names their pictures are written under.
struct DepthViewInfo {
    AxisView view;
    const char* fileName;
};
extern const DepthViewInfo kDepthViews[6];

// The clipping mode's three slicing passes, XY, XZ and YZ, with their
// progress labels.
struct ClipPassInfo {
    const char* label;
    AxisView view;
};
extern const ClipPassInfo kClipPasses[3];

// The axis view a run of `mode` leaves behind: the desktop view shows it
// after a save.
AxisView lastAxisView(VoxelMode mode);

}  // namespace kubelmar
