#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh.h"

namespace kubelmar {
namespace {

TEST(Mesh, BuildColoursAndClear) {
    Mesh mesh;
    const std::vector<Float3> p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.build(p, {}, {}, {}, {0, 1, 2});
    ASSERT_EQ(mesh.vertexCount, 3);
    ASSERT_EQ(mesh.faceCount, 1);
    for (const Rgba& c : mesh.colors) EXPECT_EQ(c, kOpaqueWhite);  // no colours: opaque white

    // Fewer colours than vertices: listed ones keep alpha 0, the rest white.
    mesh.build(p, {}, {{1, 0, 0, 0.5f}}, {}, {2, 1, 0});
    EXPECT_EQ(mesh.colors[0], (Rgba{1, 0, 0, 0}));
    EXPECT_EQ(mesh.colors[2], kOpaqueWhite);
    EXPECT_EQ(mesh.faces[0].index[0], 2);

    mesh.computeBounds();
    mesh.clear();
    EXPECT_EQ(mesh.vertexCount, 0);
    EXPECT_TRUE(mesh.positions.empty() && mesh.faces.empty());
    for (const Float3& c : mesh.corners) EXPECT_EQ(c, Float3{});
}

TEST(Mesh, BoundsCornersAndLargestSide) {
    Mesh mesh;  // flat in z, no faces: the box is still computed
    mesh.build({{-1, 2.5f, 5}, {3, 2, 5}, {0, 2.2f, 5}}, {}, {}, {}, {});
    mesh.computeBounds();
    const float expected[8][2] = {{3, 2}, {3, 2.5f}, {-1, 2.5f}, {-1, 2}, {-1, 2}, {-1, 2.5f}, {3, 2.5f}, {3, 2}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(mesh.corners[i].x, expected[i][0]) << "C" << i;
        EXPECT_EQ(mesh.corners[i].y, expected[i][1]) << "C" << i;
        EXPECT_EQ(mesh.corners[i].z, 5) << "C" << i;
    }
    EXPECT_FLOAT_EQ(mesh.largestSide(), 4);
}

TEST(Mesh, NormalsAreRenormalisedAfterEveryFace) {
    // Vertex 0 is shared by a face with normal (0, 0, -2) and a larger one with
    // normal (-8, 0, 0): the running rule gives normalize((0, 0, -1) + (-8, 0, 0)),
    // not the normalised sum of the two face normals.
    const std::vector<Float3> p = {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 4, 0}, {0, 0, 2}};
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
    const std::vector<Float3> p = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}};
    Mesh mesh;
    mesh.build(p, {}, {}, {}, {0, 1, 2, 0, 1, 3});
    mesh.computeNormals();
    EXPECT_FLOAT_EQ(mesh.normals[0].z, -1);
    EXPECT_FLOAT_EQ(mesh.normals[2].z, 0);  // only in the degenerate face
    EXPECT_FALSE(std::isnan(mesh.normals[2].x));
}

}  // namespace
}  // namespace kubelmar
