// The load sequence: read, measure, scale to 2048 units, centre, normals.
#include "mesh/mesh_loader.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "mesh/obj_reader.h"

namespace kubelmar {

namespace {

// Side length of the cube -1024..1024 that every view projects onto.
constexpr float kFrameSize = 2048.0f;

bool cornersFinite(const Mesh& mesh) {
    for (const Vec4& c : mesh.corners) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
    }
    return true;
}

}  // namespace

MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out) {
    MeshLoadResult result;
    // Everything happens on a local mesh so that a failed load leaves `out`
    // (the mesh on screen) as it was.
    Mesh mesh;
    const ObjReadResult read = readOBJ(mesh, path);
    if (!read.ok) {
        result.error = read.error;
        return result;
    }
    result.warning = read.warning;

    // meshExtent is in the file's own units: measured before scaling.
    mesh.prepare({MESH_BOUNDING_BOX});
    const float extent = mesh.largestSide();
    if (mesh.vertexCount > 0 && !(extent > 0.0f)) {
        // Scaling would divide by zero and fill the mesh with NaN.
        result.error = path + ": the mesh has no extent (all vertices coincide)";
        return result;
    }
    if (!std::isfinite(extent)) {
        result.error = path + ": the mesh is too large to measure in single precision";
        return result;
    }

    if (mesh.vertexCount > 0) {
        result.fileBoxLow = result.fileBoxHigh = {mesh.positions[0].x, mesh.positions[0].y, mesh.positions[0].z};
        for (const Vec4& p : mesh.positions) {
            const double c[3] = {p.x, p.y, p.z};
            for (int a = 0; a < 3; ++a) {
                result.fileBoxLow[a] = std::min(result.fileBoxLow[a], c[a]);
                result.fileBoxHigh[a] = std::max(result.fileBoxHigh[a], c[a]);
            }
        }
    }
    mesh.scaleTo(kFrameSize);
    mesh.prepare({MESH_CENTRE, MESH_BOUNDING_BOX});
    if (!cornersFinite(mesh)) {
        // Vertices far from the mesh's own size along a flat axis overflow.
        result.error = path + ": the mesh cannot be scaled to the view (coordinates overflow)";
        return result;
    }
    mesh.prepare({MESH_VERTEX_NORMALS});

    out = std::move(mesh);
    result.ok = true;
    result.meshExtent = extent;
    return result;
}

}  // namespace kubelmar
