// Face and vertex normals, the last step of preparing a freshly read mesh
// (after frameMesh has put it in the frame cube).
#include "mesh/mesh.h"

namespace kubelmar {

void Mesh::computeNormals() {
    // Running normalisation: after each face a corner's normal becomes
    // normalize(n + faceNormal), so it is not the normalised sum of all face
    // normals. For counter-clockwise faces seen from outside the result points
    // into the mesh.
    for (Face& face : faces) {
        face.normal = triangleNormal(positions[static_cast<std::size_t>(face.index[0])],
                                     positions[static_cast<std::size_t>(face.index[1])],
                                     positions[static_cast<std::size_t>(face.index[2])]);
        for (const int i : face.index) {
            Float3& n = normals[static_cast<std::size_t>(i)];
            n += face.normal;
            // A degenerate face on a fresh vertex (or two opposite faces) sums
            // to zero; normalising that would store NaN and every later face
            // could never repair it, so a zero sum is left as it is.
            const float l = length(n);
            if (l > 0.0f) {
                n.x /= l;
                n.y /= l;
                n.z /= l;
            }
        }
    }
}

}  // namespace kubelmar
