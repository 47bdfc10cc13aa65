#include <gtest/gtest.h>

#include <sstream>

#include "voxel/grid_fit.h"

namespace kubelmar {
namespace {

Mesh boxMesh(float x0, float y0, float z0, float x1, float y1, float z1) {
    Mesh mesh;
    mesh.build({{x0, y0, z0}, {x1, y1, z1}}, {}, {}, {}, {});
    mesh.computeBounds();
    return mesh;
}

constexpr double K = 4096.0 * 4096.0;

TEST(FitGrid, PrintsExtentsYZXThenMaxdistAndStep) {
    Mesh mesh = boxMesh(-256, -1024, -512, 256, 1024, 512);
    SlabState slab;
    std::ostringstream out;
    fitGrid(slab, mesh, 512, 0, out);
    EXPECT_EQ(out.str(), "bb: 2048.000000, 1024.000000, 512.000000\nmaxdist: 2048.000000\nstep: 4.000000\n");
    EXPECT_DOUBLE_EQ(slab.gridStep, 4.0);
}

TEST(FitGrid, StartSlabLiesJustAboveTheCube) {
    Mesh mesh = boxMesh(-1024, -1024, -1024, 1024, 1024, 1024);
    SlabState slab;
    std::ostringstream out;
    fitGrid(slab, mesh, 512, 0, out);
    const double plane0[4] = {0, K, 0, -1024 * K};
    const double plane1[4] = {0, -K, 0, 1028 * K};
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(slab.clipPlane0[i], plane0[i]) << i;
        EXPECT_DOUBLE_EQ(slab.clipPlane1[i], plane1[i]) << i;
    }
    // Axes 1 and 2 keep t <= q0 and t >= q1.
    for (int axis : {1, 2}) {
        fitGrid(slab, mesh, 64, axis, out);
        const int c = axis == 1 ? 2 : 0;
        EXPECT_DOUBLE_EQ(slab.clipPlane0[c], -K);
        EXPECT_DOUBLE_EQ(slab.clipPlane0[3], 1056 * K);
        EXPECT_DOUBLE_EQ(slab.clipPlane1[c], K);
        EXPECT_DOUBLE_EQ(slab.clipPlane1[3], -1024 * K);
    }
}

// Keeps a point at slab coordinate t?
bool keeps(const double plane[4], int axis, double t) {
    double p[3] = {0, 0, 0};
    p[axis == 0 ? 1 : axis == 1 ? 2 : 0] = t;
    return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3] >= 0;
}

TEST(PlaceSlab, LayersTileTheCubeWithoutDriftAndTakeInItsFaces) {
    // 2048.000244 is what a float scaling can leave as the largest side.
    const float half = 1024.000122f;
    Mesh mesh = boxMesh(-half, -half, -half, half, half, half);
    for (int axis = 0; axis < 3; ++axis) {
        for (int n : {64, 1024}) {
            SlabState slab;
            std::ostringstream out;
            fitGrid(slab, mesh, n, axis, out);
            for (int k = 0; k < n; ++k) {
                placeSlab(slab, k);
                const double top = slab.half - k * slab.gridStep;
                const double bottom = slab.half - (k + 1) * slab.gridStep;
                const double mid = 0.5 * (top + bottom);
                ASSERT_TRUE(keeps(slab.clipPlane0, axis, mid) && keeps(slab.clipPlane1, axis, mid));
                if (k > 0 && k < n - 1) {
                    const double outside = top + 0.25 * slab.gridStep;
                    ASSERT_FALSE(keeps(slab.clipPlane0, axis, outside) && keeps(slab.clipPlane1, axis, outside))
                        << "axis " << axis << " k " << k;
                }
            }
            placeSlab(slab, 0);
            EXPECT_TRUE(keeps(slab.clipPlane0, axis, half) && keeps(slab.clipPlane1, axis, half));
            placeSlab(slab, n - 1);
            EXPECT_TRUE(keeps(slab.clipPlane0, axis, -half) && keeps(slab.clipPlane1, axis, -half));
        }
    }
}

}  // namespace
}  // namespace kubelmar
