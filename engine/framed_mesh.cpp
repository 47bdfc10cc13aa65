#include "engine/framed_mesh.h"

#include <algorithm>

namespace kubelmar {

Float3 placeInFrame(const Float3& p, const FramePlacement& frame) {
    const double in[3] = {p.x, p.y, p.z};
    double out[3];
    for (int b = 0; b < 3; ++b)
        out[b] = frame.sign[b] * ((in[frame.source[b]] - frame.centre[b]) * frame.stretch[b]);
    return Float3{static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])};
}

FramedMesh::FramedMesh(Mesh& mesh, MeshDrawer& drawer, const FramePlacement& frame) : mesh_(mesh), drawer_(drawer) {
    if (frame.identity) return;
    prepared_ = mesh.positions;
    std::copy(std::begin(mesh.corners), std::end(mesh.corners), corners_);
    for (Float3& p : mesh.positions) p = placeInFrame(p, frame);
    mesh.computeBounds();
    drawer.updatePositions(mesh.positions);
    placed_ = true;
}

FramedMesh::~FramedMesh() {
    if (!placed_) return;
    mesh_.positions.swap(prepared_);
    std::copy(std::begin(corners_), std::end(corners_), mesh_.corners);
    drawer_.updatePositions(mesh_.positions);
}

}  // namespace kubelmar
