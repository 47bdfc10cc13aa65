#pragma once

#include <array>
#include <string>

#include "mesh/mesh.h"

namespace kubelmar {

struct MeshLoadResult {
    bool ok = false;
    std::string error;  // one line naming the file and the reason
    // Largest bounding-box side in the file's own units, measured before the
    // mesh is scaled to 2048 units.
    float meshExtent = 0.0f;
    // The mesh's bounding box in the file's own units (x, y, z).
    std::array<double, 3> fileBoxLow = {0, 0, 0};
    std::array<double, 3> fileBoxHigh = {0, 0, 0};
    // The reader's warning about skipped faces (already printed); empty if none.
    std::string warning;
};

// The load sequence: read the OBJ file, measure it (meshExtent), scale its
// largest side to 2048, centre it on the origin and compute normals. Prints
// "Opening: ", "MESH_CENTRE", "MESH_VERTEX_NORMALS". On failure `out` is left
// untouched. A file with no usable vertex loads as an empty mesh (ok, with
// vertexCount 0); callers decide whether that is an error.
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out);

}  // namespace kubelmar
