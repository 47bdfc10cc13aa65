#include <gtest/gtest.h>

#include <random>

#include "voxel/slab_faces.h"

namespace kubelmar {
namespace {

TEST(SlabFaces, EachSlabDrawsTheFacesThatReachItInFaceOrder) {
    // Random triangles in the prepared cube, some spanning many slabs.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-1024, 1024);
    std::vector<Float3> positions;
    for (int v = 0; v < 300; ++v) positions.push_back(Float3{coordinate(random), coordinate(random), coordinate(random)});
    std::vector<std::uint32_t> faces;
    for (int f = 0; f < 400; ++f)
        for (int k = 0; k < 3; ++k) faces.push_back(random() % positions.size());
    const int n = 37;
    for (int axis = 0; axis < 3; ++axis) {
        SlabState slab;
        slab.size = n;
        slab.width = slab.height = n;
        slab.axis = axis;
        slab.half = 1024;
        slab.gridStep = 2048.0 / n;
        SlabFaces slabs;
        slabs.build(positions, faces, slab);
        for (int k = 0; k < n; ++k) {
            // The faces whose extent along the axis comes within a hundredth
            // of a unit of slab k.
            std::vector<std::uint32_t> expected;
            const double top = slab.half - k * slab.gridStep, bottom = top - slab.gridStep;
            for (std::size_t f = 0; f < faces.size() / 3; ++f) {
                float lo = 1e9f, hi = -1e9f;
                for (int c = 0; c < 3; ++c) {
                    const Float3& p = positions[faces[3 * f + c]];
                    const float t = axis == 0 ? p.y : axis == 1 ? p.z : p.x;
                    lo = std::min(lo, t), hi = std::max(hi, t);
                }
                if (hi >= bottom - 0.01 && lo <= top + 0.01)
                    expected.insert(expected.end(), &faces[3 * f], &faces[3 * f] + 3);
            }
            ASSERT_EQ(slabs.advanceTo(k), expected) << "axis " << axis << " slab " << k;
            const SlabFaces::Rect rect = slabs.coverage(axis);
            if (!expected.empty()) {
                EXPECT_GT(rect.width * rect.height, 0);
            }
        }
    }
}

TEST(SlabFaces, RepeatedFacesKeepOnlyTheirLastOccurrence) {
    const std::vector<std::uint32_t> faces = {0, 1, 2, 2, 3, 4, 0, 1, 2, 1, 2, 0, 0, 1, 2};
    // Exact repeats of (0 1 2) go; the rotated (1 2 0) is another face.
    EXPECT_EQ(distinctFaces(faces), (std::vector<std::uint32_t>{2, 3, 4, 1, 2, 0, 0, 1, 2}));
    std::vector<std::uint32_t> many;
    for (int i = 0; i < 100000; ++i) many.insert(many.end(), {5, 6, 7});
    EXPECT_EQ(distinctFaces(many).size(), 3u);
}

}  // namespace
}  // namespace kubelmar
