// Mesh preparation: centring, uniform scaling and per-vertex normals, the
// steps that put a freshly read mesh into the frame the views assume (box
// centred on the origin, largest side 2048 units).
#include "mesh/mesh.h"

namespace kubelmar {

void Mesh::prepare(std::initializer_list<int> codes) {
    for (const int code : codes) {
        switch (code) {
            case MESH_CENTRE:
                centre();
                break;
            case MESH_VERTEX_NORMALS:
                computeNormals();
                break;
            case MESH_BOUNDING_BOX:
                computeBounds();
                break;
            default:
                break;  // unknown codes are ignored
        }
    }
}

void Mesh::centre() {
    if (vertexCount == 0) return;
    // A pass of its own: the stored corners may be stale.
    Vec4 lo = positions[0];
    Vec4 hi = positions[0];
    for (const Vec4& p : positions) {
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
    // The middle of the box, not the mean of the vertices. Corners are not
    // updated here; callers ask for MESH_BOUNDING_BOX afterwards.
    const float cx = (lo.x + hi.x) * 0.5f;
    const float cy = (lo.y + hi.y) * 0.5f;
    const float cz = (lo.z + hi.z) * 0.5f;
    for (Vec4& p : positions) {
        p.x -= cx;
        p.y -= cy;
        p.z -= cz;
    }
}

void Mesh::normalizeSize() {
    if (vertexCount == 0) return;
    computeBounds();
    // A zero side gives an infinite factor; the load sequence refuses such a
    // mesh before it gets here.
    const float f = 1.0f / largestSide();
    for (Vec4& p : positions) p *= f;
}

void Mesh::scaleTo(float size) {
    if (vertexCount == 0) return;
    normalizeSize();
    for (Vec4& p : positions) p *= size;
}

void Mesh::computeNormals() {
    // Running normalisation: after each face a corner's normal becomes
    // normalize(n + faceNormal), so it is not the normalised sum of all face
    // normals. For counter-clockwise faces seen from outside the result points
    // into the mesh.
    for (Face& face : faces) {
        face.normal.setTriangleNormal(positions[static_cast<std::size_t>(face.index[0])],
                                      positions[static_cast<std::size_t>(face.index[1])],
                                      positions[static_cast<std::size_t>(face.index[2])]);
        for (const int i : face.index) {
            Vec4& n = normals[static_cast<std::size_t>(i)];
            n += face.normal;
            // A degenerate face on a fresh vertex (or two opposite faces) sums
            // to zero; normalising that would store NaN and every later face
            // could never repair it, so a zero sum is left as it is.
            if (n.length() > 0.0f) n.normalize();
        }
    }
}

}  // namespace kubelmar
