#include "voxel/frame_view.h"

#include "gl/gl_headers.h"
#include "mesh/mesh_frame.h"

namespace kubelmar {

void startFrameView(int width, int height, float depthReach) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kFrameHalfSide, kFrameHalfSide, -kFrameHalfSide, kFrameHalfSide, -depthReach, depthReach);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace kubelmar
