#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh.h"

namespace kubelmar {
namespace {

// Eight corners of the box lo..hi and its twelve triangles, counter-clockwise
// seen from outside.
Mesh boxMesh(Vec4 lo, Vec4 hi) {
    std::vector<Vec4> p;
    for (int i = 0; i < 8; ++i) p.emplace_back(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
    const std::vector<int> faces = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                    2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    Mesh mesh;
    mesh.build(p, {}, {}, {}, faces);
    return mesh;
}

TEST(Mesh, BuildColoursAndClear) {
    Mesh mesh;
    const std::vector<Vec4> p = {Vec4(0, 0, 0), Vec4(1, 0, 0), Vec4(0, 1, 0)};
    mesh.build(p, {}, {}, {}, {0, 1, 2});
    ASSERT_EQ(mesh.vertexCount, 3);
    ASSERT_EQ(mesh.faceCount, 1);
    for (const Vec4& c : mesh.colors) EXPECT_EQ(c.w, 1.0f);  // no colours: opaque white

    // Fewer colours than vertices: listed ones with alpha 0, the rest white.
    mesh.build(p, {}, {Vec4(1, 0, 0, 0.5f)}, {}, {2, 1, 0});
    EXPECT_EQ(mesh.colors[0].x, 1.0f);
    EXPECT_EQ(mesh.colors[0].y, 0.0f);
    EXPECT_EQ(mesh.colors[0].w, 0.0f);
    EXPECT_EQ(mesh.colors[2].y, 1.0f);
    EXPECT_EQ(mesh.colors[2].w, 1.0f);
    EXPECT_EQ(mesh.faces[0].index[0], 2);

    mesh.computeBounds();
    mesh.clear();
    EXPECT_EQ(mesh.vertexCount, 0);
    EXPECT_TRUE(mesh.positions.empty() && mesh.faces.empty());
    for (const Vec4& c : mesh.corners) EXPECT_TRUE(c.x == 0 && c.y == 0 && c.z == 0);
}

TEST(Mesh, BoundsCornersAndLargestSide) {
    Mesh mesh = boxMesh(Vec4(-1, 2, 5), Vec4(3, 2.5f, 5));  // flat in z
    mesh.computeBounds();
    EXPECT_EQ(mesh.corners[1].x, 3);  // C1 is the maximum corner
    EXPECT_EQ(mesh.corners[1].y, 2.5f);
    EXPECT_EQ(mesh.corners[4].x, -1);  // C4 the minimum
    EXPECT_EQ(mesh.corners[4].y, 2);
    EXPECT_EQ(mesh.corners[0].y, 2);  // C0 is (max, min, max)
    for (const Vec4& c : mesh.corners) EXPECT_EQ(c.z, 5);
    EXPECT_FLOAT_EQ(mesh.largestSide(), 4);
}

TEST(Mesh, ScaleAndCentreFitTheLargestSideTo2048) {
    Mesh mesh = boxMesh(Vec4(10, 20, 30), Vec4(14, 22, 31));
    mesh.scaleTo(2048);
    mesh.prepare({MESH_CENTRE, MESH_BOUNDING_BOX, MESH_VERTEX_NORMALS});
    EXPECT_FLOAT_EQ(mesh.corners[1].x, 1024);
    EXPECT_FLOAT_EQ(mesh.corners[1].y, 512);
    EXPECT_FLOAT_EQ(mesh.corners[1].z, 256);
    EXPECT_FLOAT_EQ(mesh.corners[4].x, -1024);
    EXPECT_FLOAT_EQ(mesh.corners[4].y, -512);
    EXPECT_FLOAT_EQ(mesh.corners[4].z, -256);
    // Counter-clockwise faces seen from outside give normals pointing inwards.
    for (int i = 0; i < 8; ++i) {
        const Vec4& p = mesh.positions[i];
        const Vec4& n = mesh.normals[i];
        EXPECT_LT(p.x * n.x + p.y * n.y + p.z * n.z, 0) << "vertex " << i;
    }
}

TEST(Mesh, NormalsAreRenormalisedAfterEveryFace) {
    // Vertex 0 is shared by a face with normal (0, 0, -2) and a larger one with
    // normal (-8, 0, 0): the running rule gives normalize((0, 0, -1) + (-8, 0, 0)),
    // not the normalised sum of the two face normals.
    const std::vector<Vec4> p = {Vec4(0, 0, 0), Vec4(2, 0, 0), Vec4(0, 1, 0), Vec4(0, 4, 0), Vec4(0, 0, 2)};
    Mesh mesh;
    mesh.build(p, {}, {}, {}, {0, 1, 2, 0, 3, 4});
    mesh.computeNormals();
    const float l = std::sqrt(65.0f);
    EXPECT_FLOAT_EQ(mesh.faces[1].normal.x, -8);
    EXPECT_FLOAT_EQ(mesh.normals[0].x, -8 / l);
    EXPECT_FLOAT_EQ(mesh.normals[0].z, -1 / l);
    EXPECT_FLOAT_EQ(mesh.normals[1].z, -1);  // only in the first face
}

TEST(Mesh, DegenerateFaceDoesNotPoisonNormals) {
    // The first face through vertex 0 has zero area; its zero sum must not
    // turn into NaN that the second face can never repair.
    const std::vector<Vec4> p = {Vec4(0, 0, 0), Vec4(1, 0, 0), Vec4(2, 0, 0), Vec4(0, 1, 0)};
    Mesh mesh;
    mesh.build(p, {}, {}, {}, {0, 1, 2, 0, 1, 3});
    mesh.computeNormals();
    EXPECT_FLOAT_EQ(mesh.normals[0].z, -1);
    EXPECT_FLOAT_EQ(mesh.normals[2].z, 0);  // only in the degenerate face
    EXPECT_FALSE(std::isnan(mesh.normals[2].x));
}

}  // namespace
}  // namespace kubelmar
