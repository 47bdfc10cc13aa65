// The exact triangle-box overlap test the conservative surface rests on.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "voxel/triangle_box.h"

namespace kubelmar {
namespace {

const double kCentre[3] = {0, 0, 0};
const double kHalf[3] = {1, 1, 1};

bool touches(std::initializer_list<double> a, std::initializer_list<double> b, std::initializer_list<double> c) {
    return triangleTouchesBox(kCentre, kHalf, std::data(a), std::data(b), std::data(c));
}

TEST(TriangleBox, TouchingCountsAndEveryKindOfSeparationIsFound) {
    EXPECT_TRUE(touches({-5, -5, 0}, {5, -5, 0}, {0, 5, 0}));    // cuts through
    EXPECT_TRUE(touches({-5, -5, 1}, {5, -5, 1}, {0, 5, 1}));    // lies in the top face's plane
    EXPECT_FALSE(touches({-5, -5, 1.0000001}, {5, -5, 1.0000001}, {0, 5, 1.0000001}));
    EXPECT_TRUE(touches({1, 1, 1}, {3, 1, 1}, {1, 3, 1}));       // one corner on the box's corner
    EXPECT_TRUE(touches({0.2, 0.1, 0.3}, {0.3, 0.1, 0.3}, {0.2, 0.2, 0.3}));  // wholly inside
    // Bounding boxes overlap but the plane passes the corner by.
    EXPECT_FALSE(touches({3.1, 0, 0}, {0, 3.1, 0}, {0, 0, 3.1}));
    EXPECT_TRUE(touches({3, 0, 0}, {0, 3, 0}, {0, 0, 3}));  // through the corner (1, 1, 1)
    // Degenerate: a segment and a point.
    EXPECT_TRUE(touches({-3, 0.5, 0.5}, {3, 0.5, 0.5}, {3, 0.5, 0.5}));
    EXPECT_FALSE(touches({-3, 1.5, 0.5}, {3, 1.5, 0.5}, {3, 1.5, 0.5}));
    EXPECT_TRUE(touches({1, 1, -1}, {1, 1, -1}, {1, 1, -1}));
}

// Random small triangles near the box: one with a sampled point inside the
// box must touch it; one that a plane provably separates from the box must
// not (the plane found by alternating nearest points, which leaves the
// separation only to the test's own axes in the edge cases).
TEST(TriangleBox, AgreesWithSampledPointsAndNearestPoints) {
    std::mt19937 random(20);
    std::uniform_real_distribution<double> place(-2.5, 2.5), size(-1.2, 1.2);
    int inside = 0, outside = 0;
    for (int t = 0; t < 4000; ++t) {
        double v[3][3];
        for (int k = 0; k < 3; ++k) v[0][k] = place(random);
        for (int c = 1; c < 3; ++c)
            for (int k = 0; k < 3; ++k) v[c][k] = v[0][k] + size(random);
        const bool result = triangleTouchesBox(kCentre, kHalf, v[0], v[1], v[2]);
        bool pointInside = false;
        for (int s = 0; s <= 20 && !pointInside; ++s)
            for (int r = 0; r <= 20 - s && !pointInside; ++r) {
                const double a = s / 20.0, b = r / 20.0;
                double p[3];
                for (int k = 0; k < 3; ++k) p[k] = v[0][k] + a * (v[1][k] - v[0][k]) + b * (v[2][k] - v[0][k]);
                pointInside = std::abs(p[0]) <= 1 && std::abs(p[1]) <= 1 && std::abs(p[2]) <= 1;
            }
        if (pointInside) {
            EXPECT_TRUE(result) << t;
            ++inside;
        }
        // Nearest points of the two, alternately; their difference d is a
        // separating direction when the triangle lies beyond the box along it.
        double q[3] = {0, 0, 0}, w[3], d[3] = {0, 0, 0};
        for (int i = 0; i < 60; ++i) {
            nearestOnTriangle(q, v[0], v[1], v[2], w);
            for (int k = 0; k < 3; ++k) {
                const double p = w[0] * v[0][k] + w[1] * v[1][k] + w[2] * v[2][k];
                q[k] = std::clamp(p, -1.0, 1.0);
                d[k] = p - q[k];
            }
        }
        double triangleLow = INFINITY;
        for (const auto& c : v) triangleLow = std::min(triangleLow, d[0] * c[0] + d[1] * c[1] + d[2] * c[2]);
        const double boxHigh = std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2]);
        if (triangleLow > boxHigh + 1e-9) {
            EXPECT_FALSE(result) << t;
            ++outside;
        }
    }
    EXPECT_GT(inside, 500);
    EXPECT_GT(outside, 500);
}

}  // namespace
}  // namespace kubelmar
