#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "math/vec4.h"

namespace kubelmar {

// Preparation steps for Mesh::prepare.
enum MeshPrepareCode : int {
    MESH_CENTRE = 2,          // prints "MESH_CENTRE"
    MESH_VERTEX_NORMALS = 3,  // prints "MESH_VERTEX_NORMALS"
    MESH_BOUNDING_BOX = 6,    // prints nothing
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
