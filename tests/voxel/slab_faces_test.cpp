#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
    // And small ones, a few voxels across, scattered: their slabs' parts
    // are far smaller than the common rectangle.
    std::uniform_real_distribution<float> offset(-60, 60);
    for (int f = 0; f < 100; ++f) {
        const Float3 centre{coordinate(random), coordinate(random), coordinate(random)};
        for (int k = 0; k < 3; ++k) {
            faces.push_back(static_cast<std::uint32_t>(positions.size()));
            positions.push_back(Float3{std::clamp(centre.x + offset(random), -1024.0f, 1024.0f),
                                       std::clamp(centre.y + offset(random), -1024.0f, 1024.0f),
                                       std::clamp(centre.z + offset(random), -1024.0f, 1024.0f)});
        }
    }
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
            // Bands as tall as the picture: the common rectangle alone.
            SlabFaces::Cover whole;
            slabs.coverage(axis, whole, n);
            const SlabFaces::Rect rect = whole.all;
            ASSERT_EQ(whole.parts.size(), expected.empty() ? 0u : 1u);
            if (!expected.empty()) {
                EXPECT_GT(rect.width * rect.height, 0);
                EXPECT_EQ(whole.pixels(), std::size_t(rect.width) * rect.height);
            }
            // The parts: disjoint, inside the common rectangle, and holding
            // the pixel under every vertex of the slab's faces.
            SlabFaces::Cover cover;
            slabs.coverage(axis, cover);
            EXPECT_EQ(cover.empty(), expected.empty());
            EXPECT_EQ(cover.all.x, rect.x);
            EXPECT_EQ(cover.all.y, rect.y);
            EXPECT_EQ(cover.all.width, rect.width);
            EXPECT_EQ(cover.all.height, rect.height);
            auto inside = [](const SlabFaces::Rect& r, int x, int y) {
                return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            };
            std::vector<int> owner(std::size_t(n) * n, -1);
            for (std::size_t p = 0; p < cover.parts.size(); ++p) {
                const SlabFaces::Rect& part = cover.parts[p];
                for (int y = part.y; y < part.y + part.height; ++y)
                    for (int x = part.x; x < part.x + part.width; ++x) {
                        ASSERT_TRUE(inside(rect, x, y));
                        ASSERT_EQ(owner[std::size_t(y) * n + x], -1) << "parts overlap at " << x << ", " << y;
                        owner[std::size_t(y) * n + x] = static_cast<int>(p);
                    }
            }
            for (std::uint32_t v : expected) {
                const Float3& q = positions[v];
                const float ex = axis == 2 ? q.z : q.x, ey = axis == 0 ? -q.z : axis == 1 ? -q.y : q.y;
                const int x = std::clamp(static_cast<int>(std::floor((ex + 1024) * n / 2048.0)), 0, n - 1);
                const int y = std::clamp(static_cast<int>(std::floor((ey + 1024) * n / 2048.0)), 0, n - 1);
                EXPECT_GE(owner[std::size_t(y) * n + x], 0) << "vertex " << v << " of slab " << k;
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
