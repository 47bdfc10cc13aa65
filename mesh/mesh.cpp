// Mesh data model: storage, building from the reader's lists, bounding box.
#include "mesh/mesh.h"

#include <cassert>
#include <cstddef>

namespace kubelmar {

void Mesh::clear() {
    // Swap with empties so the memory is released, not just the sizes.
    std::vector<Vec4>().swap(positions);
    std::vector<Vec4>().swap(normals);
    std::vector<Vec4>().swap(colors);
    std::vector<Face>().swap(faces);
    std::vector<int>().swap(vertexMaterial);
    std::vector<int>().swap(vertexTexture);
    std::vector<std::array<float, 2>>().swap(texCoords);
    std::vector<Material>().swap(materials);
    std::vector<Texture>().swap(textures);
    vertexCount = 0;
    faceCount = 0;
    for (Vec4& c : corners) c = Vec4(0);
}

void Mesh::allocateVertices(int n) {
    assert(n >= 0);
    const auto count = static_cast<std::size_t>(n);
    positions.assign(count, Vec4(0));
    normals.assign(count, Vec4(0));
    colors.assign(count, Vec4(0));
    vertexCount = n;
}

void Mesh::allocateFaces(int n) {
    assert(n >= 0);
    faces.assign(static_cast<std::size_t>(n), Face{});
    faceCount = n;
}

void Mesh::build(const std::vector<Vec4>& positionList, const std::vector<Vec4>& /*normalList*/,
                 const std::vector<Vec4>& colorList, const std::vector<Vec4>& /*texCoordList*/,
                 const std::vector<int>& faceIndexList) {
    // Normals are always computed from the faces (computeNormals) and texture
    // coordinates have no use here, so those two lists are not stored.
    assert(faceIndexList.size() % 3 == 0);
    const int n = static_cast<int>(positionList.size());
    allocateVertices(n);
    for (int j = 0; j < n; ++j) {
        const Vec4& p = positionList[static_cast<std::size_t>(j)];
        positions[static_cast<std::size_t>(j)] = Vec4(p.x, p.y, p.z);
    }

    // Listed colours keep alpha 0 (that is how colour lines have always been
    // stored); vertices without a listed colour are opaque white.
    const std::size_t listed = colorList.size() < positionList.size() ? colorList.size() : positionList.size();
    for (std::size_t j = 0; j < listed; ++j) colors[j] = Vec4(colorList[j].x, colorList[j].y, colorList[j].z);
    for (std::size_t j = listed; j < positionList.size(); ++j) colors[j] = Vec4(1.0f, 1.0f, 1.0f, 1.0f);

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
    corners[0] = Vec4(hi.x, lo.y, hi.z);
    corners[1] = Vec4(hi.x, hi.y, hi.z);
    corners[2] = Vec4(lo.x, hi.y, hi.z);
    corners[3] = Vec4(lo.x, lo.y, hi.z);
    corners[4] = Vec4(lo.x, lo.y, lo.z);
    corners[5] = Vec4(lo.x, hi.y, lo.z);
    corners[6] = Vec4(hi.x, hi.y, lo.z);
    corners[7] = Vec4(hi.x, lo.y, lo.z);
}

float Mesh::largestSide() const {
    // Measured as corner-difference lengths in this fixed order (y, z, x side),
    // a later side winning ties; the result is the same as the plain maximum.
    Vec4 ySide = corners[6] - corners[7];
    Vec4 zSide = corners[1] - corners[6];
    Vec4 xSide = corners[1] - corners[2];
    float side = ySide.length();
    const float z = zSide.length();
    if (z >= side) side = z;
    const float x = xSide.length();
    if (x >= side) side = x;
    return side;
}

}  // namespace kubelmar
