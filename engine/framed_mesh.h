#pragma once

#include <vector>

#include "engine/grid_layout.h"
#include "gl/mesh_drawer.h"
#include "mesh/mesh.h"

namespace kubelmar {

// Places the engine's prepared mesh for one run as a FramePlacement says:
// the positions and box corners in place and the drawer's position buffer,
// so that every mode renders the run's grid as it renders the cube. Puts
// the prepared positions back (and re-uploads them) when destroyed. Colours,
// texture coordinates and normals are left alone: no mode lights the mesh.
// Does nothing for an identity placement. Context current throughout.
class FramedMesh {
public:
    FramedMesh(Mesh& mesh, MeshDrawer& drawer, const FramePlacement& frame);
    ~FramedMesh();
    FramedMesh(const FramedMesh&) = delete;
    FramedMesh& operator=(const FramedMesh&) = delete;

private:
    Mesh& mesh_;
    MeshDrawer& drawer_;
    bool placed_ = false;
    std::vector<Float3> prepared_;
    Float3 corners_[8];
};

// One prepared position in the frame (for tests and the CPU checks).
Float3 placeInFrame(const Float3& p, const FramePlacement& frame);

}  // namespace kubelmar
