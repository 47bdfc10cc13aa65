// Mesh data model: storage, building from the reader's lists, bounding box.
#include "mesh/mesh.h"

#include <cassert>
#include <cstddef>

namespace kubelmar {

void Mesh::clear() {
    // Swap with empties so the memory is released, not just the sizes.
    std::vector<Float3>().swap(positions);
    std::vector<Float3>().swap(normals);
    std::vector<Rgba>().swap(colors);
    std::vector<Face>().swap(faces);
    std::vector<int>().swap(vertexMaterial);
    std::vector<int>().swap(vertexTexture);
    std::vector<TexCoord>().swap(texCoords);
    std::vector<Material>().swap(materials);
    std::vector<Texture>().swap(textures);
    vertexCount = 0;
    faceCount = 0;
    for (Float3& c : corners) c = Float3{};
}

void Mesh::allocateVertices(int n) {
    assert(n >= 0);
    const auto count = static_cast<std::size_t>(n);
    positions.assign(count, Float3{});
    normals.assign(count, Float3{});
    colors.assign(count, Rgba{});
    vertexCount = n;
}

void Mesh::allocateFaces(int n) {
    assert(n >= 0);
    faces.assign(static_cast<std::size_t>(n), Face{});
    faceCount = n;
}

void Mesh::build(const std::vector<Float3>& positionList, const std::vector<Float3>& /*normalList*/,
                 const std::vector<Rgba>& colorList, const std::vector<TexCoord>& /*texCoordList*/,
                 const std::vector<int>& faceIndexList) {
    // Normals are always computed from the faces (computeNormals) and texture
    // coordinates have no use here, so those two lists are not stored.
    assert(faceIndexList.size() % 3 == 0);
    const int n = static_cast<int>(positionList.size());
    allocateVertices(n);
    positions = positionList;

    // Listed colours keep alpha 0 (that is how colour lines have always been
    // stored); vertices without a listed colour are opaque white.
    const std::size_t listed = colorList.size() < positionList.size() ? colorList.size() : positionList.size();
    for (std::size_t j = 0; j < listed; ++j) colors[j] = {colorList[j].r, colorList[j].g, colorList[j].b, 0.0f};
    for (std::size_t j = listed; j < positionList.size(); ++j) colors[j] = kOpaqueWhite;

    const int m = static_cast<int>(faceIndexList.size() / 3);
    allocateFaces(m);
    for (std::size_t i = 0; i < faces.size(); ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            const int index = faceIndexList[3 * i + k];
            assert(index >= 0 && index < n);
            faces[i].index[k] = index;
        }
    }
}

void Mesh::computeBounds() {
    // An empty mesh has no box; its corners stay as they are (zero after clear).
    if (vertexCount == 0) return;
    Float3 lo = positions[0];
    Float3 hi = positions[0];
    for (const Float3& p : positions) {
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
    corners[0] = {hi.x, lo.y, hi.z};
    corners[1] = {hi.x, hi.y, hi.z};
    corners[2] = {lo.x, hi.y, hi.z};
    corners[3] = {lo.x, lo.y, hi.z};
    corners[4] = {lo.x, lo.y, lo.z};
    corners[5] = {lo.x, hi.y, lo.z};
    corners[6] = {hi.x, hi.y, lo.z};
    corners[7] = {hi.x, lo.y, lo.z};
}

float Mesh::largestSide() const {
    // Measured as corner-difference lengths in this fixed order (y, z, x side),
    // a later side winning ties; the result is the same as the plain maximum.
    float side = length(corners[6] - corners[7]);
    const float z = length(corners[1] - corners[6]);
    if (z >= side) side = z;
    const float x = length(corners[1] - corners[2]);
    if (x >= side) side = x;
    return side;
}

}  // namespace kubelmar
