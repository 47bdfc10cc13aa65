#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "math/float3.h"
#include "mesh/material.h"

namespace kubelmar {

// A vertex colour: red, green, blue, alpha in 0..1, packed (16 bytes), so
// an array of them is the tight RGBA array a GL colour buffer takes.
struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    bool operator==(const Rgba&) const = default;
};
static_assert(sizeof(Rgba) == 4 * sizeof(float));

constexpr Rgba kOpaqueWhite{1.0f, 1.0f, 1.0f, 1.0f};

// A texture coordinate (u, v), v = 0 at the image's bottom.
using TexCoord = std::array<float, 2>;

struct Face {
    int index[3] = {0, 0, 0};  // 0-based vertex index of each corner
    Float3 normal;             // triangleNormal of the corners, not normalised
};

// The one triangle mesh the program works on. vertexCount 0 means "no mesh".
// Positions are in file units until prepared; after loadPreparedMesh they lie
// in the frame cube (mesh_frame.h: -1024..1024, the largest box side 2048).
//
// Preparation, in the order the load sequence takes it: frameMesh (centre
// and scale into the frame, mesh_frame.h), computeBounds, computeNormals.
class Mesh {
public:
    int vertexCount = 0;
    int faceCount = 0;
    std::vector<Float3> positions;
    std::vector<Float3> normals;  // per vertex, unit length or zero
    std::vector<Rgba> colors;
    std::vector<Face> faces;

    // Colour beyond the vertex colours, present only when faces use
    // materials. Each vertex then belongs to one material and has one texture
    // coordinate: the reader gives a position one vertex per (texture
    // coordinate, material) its corners use, so the arrays below stay per
    // vertex and a face's look follows from its first corner.
    std::vector<int> vertexMaterial;  // per vertex: index into materials, or -1
    std::vector<int> vertexTexture;   // per vertex: index into textures, or -1 (not textured)
    std::vector<TexCoord> texCoords;  // per vertex
    std::vector<Material> materials;
    std::vector<Texture> textures;

    // Corner order: C0 (max,min,max) C1 (max,max,max) C2 (min,max,max)
    // C3 (min,min,max) C4 (min,min,min) C5 (min,max,min) C6 (max,max,min)
    // C7 (max,min,min).
    Float3 corners[8];

    void clear();
    void allocateVertices(int n);
    void allocateFaces(int n);
    // Fills the mesh from the reader's lists. Faces must already be resolved
    // to 0-based indices within positionList. Listed colours are stored with
    // alpha 0, whatever their own; colorList shorter than the positions: the
    // remaining vertices are opaque white. normalList and texCoordList are
    // not stored (normals come from computeNormals).
    void build(const std::vector<Float3>& positionList, const std::vector<Float3>& normalList,
               const std::vector<Rgba>& colorList, const std::vector<TexCoord>& texCoordList,
               const std::vector<int>& faceIndexList);
    // As build, then gives faces their materials: cornerTexCoords holds one
    // index into texCoordList per face corner or -1, faceMaterials one index
    // into `materials` per face or -1. With no face naming a material the
    // result is exactly build's. A face is textured when its material has a
    // texture and all three corners a coordinate.
    void buildWithMaterials(const std::vector<Float3>& positionList, const std::vector<Rgba>& colorList,
                            const std::vector<TexCoord>& texCoordList, const std::vector<int>& faceIndexList,
                            const std::vector<int>& cornerTexCoords, const std::vector<int>& faceMaterials,
                            std::vector<Material> materialList, std::vector<Texture> textureList);

    // Sets corners from the positions (an empty mesh keeps its corners).
    void computeBounds();
    // Face normals and per-vertex normals from the positions.
    void computeNormals();

    // Largest box side as the load sequence measures it: |C6-C7| (y), then
    // |C1-C6| (z), then |C1-C2| (x), each replacing when not smaller.
    float largestSide() const;
};

}  // namespace kubelmar
