#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

#include "base/diagnostic.h"
#include "gl/gl_ext_loader.h"
#include "gl/mesh_drawer.h"
#include "mesh/mesh.h"
#include "volume/progress.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// The grid as a mode renders it: the frame cube (-1024..1024 on each frame
// axis, prepared mesh units) cut into dims[a] layers along frame axis a
// (0 x, 1 y, 2 z), the stack in the mode's own mapping. The engine places
// the mesh so that this is the run's grid (engine/grid_layout.h). `cube`:
// the N^3 cube of a prepared mesh, where the clipping mode's slabs cut the
// mesh's measured box as they always have.
struct FrameGrid {
    std::array<int, 3> dims = {0, 0, 0};
    bool cube = true;
};

// What a voxelization mode works with: the current GL context's entry
// points, the mesh as placed for the run (frame cube -1024..1024, mesh
// units) and its uploaded buffers, the grid in that frame, the faces worth drawing, the volume's description, where its
// slices go, where its console lines go and where its warnings go.
struct VoxelizeContext {
    GL_Ext_Loader& loader;
    const Mesh& mesh;
    const MeshDrawer& drawer;
    const std::vector<std::uint32_t>& faces;  // 3 vertex indices per face, draw order
    const VolumeInfo& info;
    const FrameGrid& frame;
    SliceConsumer& consumer;
    Progress& progress;
    std::ostream& log;
    Diagnostics& warnings;
};

}  // namespace kubelmar
