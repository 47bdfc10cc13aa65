#pragma once

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

// What a voxelization mode works with: the current GL context's entry
// points, the prepared mesh (cube -1024..1024, mesh units) and its uploaded
// buffers, the faces worth drawing, the volume's description, where its
// slices go, where its console lines go and where its warnings go.
struct VoxelizeContext {
    GL_Ext_Loader& loader;
    const Mesh& mesh;
    const MeshDrawer& drawer;
    const std::vector<std::uint32_t>& faces;  // 3 vertex indices per face, draw order
    const VolumeInfo& info;
    SliceConsumer& consumer;
    Progress& progress;
    std::ostream& log;
    Diagnostics& warnings;
};

}  // namespace kubelmar
