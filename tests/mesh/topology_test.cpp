// The mesh topology counts on small hand-built meshes.
#include <gtest/gtest.h>

#include <utility>

#include "mesh/mesh_topology.h"

namespace kubelmar {
namespace {

// A cube of two triangles a side, wound outward, its corners appended to
// `p` (corner i: x from bit 0, y from bit 1, z from bit 2, offset by `at`).
std::vector<std::uint32_t> cube(std::vector<Float3>& p, Float3 at = {}) {
    const auto first = static_cast<std::uint32_t>(p.size());
    for (int i = 0; i < 8; ++i) p.push_back(Float3{at.x + (i & 1), at.y + ((i >> 1) & 1), at.z + ((i >> 2) & 1)});
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<std::uint32_t> f;
    for (const auto& q : quads)
        for (int c : {q[0], q[1], q[2], q[0], q[2], q[3]}) f.push_back(first + c);
    return f;
}

std::vector<std::uint32_t> operator+(std::vector<std::uint32_t> a, const std::vector<std::uint32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(MeshTopology, AClosedCubeIsOneClosedShell) {
    std::vector<Float3> p;
    const MeshTopology t = measureTopology(p, cube(p));
    EXPECT_EQ(t.faces, 12);
    EXPECT_EQ(t.edges, 18);
    EXPECT_TRUE(t.closed());
    EXPECT_EQ(t.inconsistentEdges, 0);
    EXPECT_EQ(t.flippedFaces, 0);
    EXPECT_EQ(t.shells, 1);
    EXPECT_EQ(t.closedShells, 1);
    EXPECT_EQ(measureTopology({}, {}), MeshTopology{});
}

TEST(MeshTopology, FlippedFacesAreTheMinorityOfTheirShell) {
    std::vector<Float3> p;
    std::vector<std::uint32_t> f = cube(p);
    std::swap(f[1], f[2]);  // one side's two triangles turned inside out
    std::swap(f[4], f[5]);
    MeshTopology t = measureTopology(p, f);
    EXPECT_EQ(t.inconsistentEdges, 4);  // the side's rim; its diagonal still agrees
    EXPECT_EQ(t.flippedFaces, 2);
    EXPECT_TRUE(t.closed());
    EXPECT_EQ(t.closedShells, 1);

    // A whole cube wound inward is consistent: nothing is flipped.
    std::vector<std::uint32_t> inward = cube(p, {3, 0, 0});
    for (std::size_t i = 0; i < inward.size(); i += 3) std::swap(inward[i + 1], inward[i + 2]);
    t = measureTopology(p, f + inward);
    EXPECT_EQ(t.flippedFaces, 2);
    EXPECT_EQ(t.shells, 2);
    EXPECT_EQ(t.closedShells, 2);
}

TEST(MeshTopology, HolesSplitVerticesAndSharedEdges) {
    std::vector<Float3> p;
    std::vector<std::uint32_t> f = cube(p);
    f.resize(f.size() - 3);  // one triangle missing
    MeshTopology t = measureTopology(p, f);
    EXPECT_EQ(t.boundaryEdges, 3);
    EXPECT_EQ(t.shells, 1);
    EXPECT_EQ(t.closedShells, 0);

    // Corners split into copies at the same position (per material) are one corner.
    std::vector<std::uint32_t> split = cube(p);
    for (std::size_t i = 0; i < 6; ++i) {
        p.push_back(p[split[i]]);
        split[i] = static_cast<std::uint32_t>(p.size() - 1);
    }
    t = measureTopology(p, split);
    EXPECT_TRUE(t.closed());
    EXPECT_EQ(t.closedShells, 1);

    // Two cubes meeting along one edge: four faces on it, one shell, open.
    std::vector<Float3> q;
    t = measureTopology(q, cube(q) + cube(q, {1, 1, 0}));
    EXPECT_EQ(t.nonManifoldEdges, 1);
    EXPECT_EQ(t.shells, 1);
    EXPECT_EQ(t.closedShells, 0);
    EXPECT_EQ(t.flippedFaces, 0);

    // A face with two corners at one position has no edges.
    t = measureTopology(q, {0, 1, 1, 0, 0, 2});
    EXPECT_EQ(t.faces, 0);
    EXPECT_EQ(t.shells, 0);
}

}  // namespace
}  // namespace kubelmar
