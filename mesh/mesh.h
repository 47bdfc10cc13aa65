#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "math/vec4.h"
#include "mesh/material.h"

namespace kubelmar {

// Preparation steps for Mesh::prepare (which prints nothing; the load
// sequence logs "MESH_CENTRE" and "MESH_VERTEX_NORMALS" as it takes them).
enum MeshPrepareCode : int {
    MESH_CENTRE = 2,
    MESH_VERTEX_NORMALS = 3,
    MESH_BOUNDING_BOX = 6,
};

struct Face {
    int index[3] = {0, 0, 0};  // 0-based vertex index of each corner
    Vec4 normal;               // (p1 - p2) x (p0 - p1), not normalised
};

// The one triangle mesh the program works on. vertexCount 0 means "no mesh".
// Positions are in file units until prepared; after loadPreparedMesh they lie
// in the cube -1024..1024 with the largest box side 2048.
class Mesh {
public:
    int vertexCount = 0;
    int faceCount = 0;
    std::vector<Vec4> positions;
    std::vector<Vec4> normals;
    std::vector<Vec4> colors;  // red, green, blue, alpha in 0..1
    std::vector<Face> faces;

    // Colour beyond the vertex colours, present only when faces use
    // materials. Each vertex then belongs to one material and has one texture
    // coordinate: the reader gives a position one vertex per (texture
    // coordinate, material) its corners use, so the arrays below stay per
    // vertex and a face's look follows from its first corner.
    std::vector<int> vertexMaterial;  // per vertex: index into materials, or -1
    std::vector<int> vertexTexture;   // per vertex: index into textures, or -1 (not textured)
    std::vector<std::array<float, 2>> texCoords;  // per vertex (u, v), v = 0 at the image's bottom
    std::vector<Material> materials;
    std::vector<Texture> textures;

    // Corner order: C0 (max,min,max) C1 (max,max,max) C2 (min,max,max)
    // C3 (min,min,max) C4 (min,min,min) C5 (min,max,min) C6 (max,max,min)
    // C7 (max,min,min).
    Vec4 corners[8];

    void clear();
    void allocateVertices(int n);
    void allocateFaces(int n);
    // Fills the mesh from the reader's lists. Faces must already be resolved
    // to 0-based indices within positionList. colorList shorter than the
    // positions: the remaining vertices are white (1, 1, 1, 1).
    void build(const std::vector<Vec4>& positionList, const std::vector<Vec4>& normalList,
               const std::vector<Vec4>& colorList, const std::vector<Vec4>& texCoordList,
               const std::vector<int>& faceIndexList);
    // As build, then gives faces their materials: cornerTexCoords holds one
    // index into texCoordList (u in x, v in y) per face corner or -1,
    // faceMaterials one index into `materials` per face or -1. With no face
    // naming a material the result is exactly build's. A face is textured
    // when its material has a texture and all three corners a coordinate.
    void buildWithMaterials(const std::vector<Vec4>& positionList, const std::vector<Vec4>& colorList,
                            const std::vector<Vec4>& texCoordList, const std::vector<int>& faceIndexList,
                            const std::vector<int>& cornerTexCoords, const std::vector<int>& faceMaterials,
                            std::vector<Material> materialList, std::vector<Texture> textureList);
    void computeBounds();

    void prepare(std::initializer_list<int> codes);
    void centre();
    void normalizeSize();
    void scaleTo(float size);
    void computeNormals();

    // Largest box side as the load sequence measures it: |C6-C7| (y), then
    // |C1-C6| (z), then |C1-C2| (x), each replacing when not smaller.
    float largestSide() const;
};

}  // namespace kubelmar
