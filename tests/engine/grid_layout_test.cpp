// The grid a run gets from its settings and the mesh's box, against values
// worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/grid_layout.h"

namespace kubelmar {
namespace {

GridMeshBox meshBox(std::array<double, 3> low, std::array<double, 3> high) {
    GridMeshBox box;
    box.low = low;
    box.high = high;
    double largest = 0;
    for (int a = 0; a < 3; ++a) largest = std::max(largest, high[a] - low[a]);
    box.extent = static_cast<float>(largest);
    return box;
}

TEST(GridLayout, CubeIsNCubedCentredAndABoxStartsAtTheLowCorner) {
    const GridMeshBox box = meshBox({1, 2, 3}, {3, 3.1, 4});
    RunSettings s;
    s.size = 4;
    s.mode = VoxelMode::DepthBuffer;
    const GridLayoutResult cube = layoutGrid(s, box, 16384);
    ASSERT_TRUE(cube.ok) << cube.error;
    EXPECT_TRUE(cube.layout.cube);
    EXPECT_EQ(cube.layout.dims, (std::array<int, 3>{4, 4, 4}));
    EXPECT_EQ(cube.layout.edge, (std::array<double, 3>{0.5, 0.5, 0.5}));
    EXPECT_NEAR(cube.layout.origin[1], 2.55 - 1.0, 1e-12);  // centre 2.55, half side 1
    EXPECT_EQ(cube.layout.origin[0], 1.0);
    EXPECT_EQ(cube.layout.cubeVoxelSize, 0.5f);

    s.grid.shape = GridShape::Box;
    const GridLayoutResult fitted = layoutGrid(s, box, 16384);
    ASSERT_TRUE(fitted.ok) << fitted.error;
    EXPECT_FALSE(fitted.layout.cube);
    // Sides 2, 1.1, 1 at 0.5 a voxel: 4, ceil(2.2) = 3, 2.
    EXPECT_EQ(fitted.layout.dims, (std::array<int, 3>{4, 3, 2}));
    EXPECT_EQ(fitted.layout.origin, (std::array<double, 3>{1, 2, 3}));
    // The solid modes' own mapping by default: up z, rows down y, columns down x.
    EXPECT_EQ(fitted.layout.slice.axis, 2);
    EXPECT_EQ(fitted.layout.column.sign, -1);
}

TEST(GridLayout, EdgesInOutputUnitsAreDividedByTheScale) {
    // A part 2 x 1 x 0.5 inches printed in millimetres at 600 x 300 dpi
    // and 27 micrometre layers.
    const GridMeshBox box = meshBox({0, 0, 0}, {2, 1, 0.5});
    RunSettings s;
    s.grid.shape = GridShape::Box;
    s.grid.scale = 25.4;
    s.grid.unit = "mm";
    s.grid.edge = {25.4 / 600, 25.4 / 300, 0.027};
    s.grid.stack = StackMapping{{2, 1}, {1, -1}, {0, 1}};
    const GridLayoutResult grid = layoutGrid(s, box, 16384);
    ASSERT_TRUE(grid.ok) << grid.error;
    // 1200 and 300 exactly (the quotients round a hair above), 12.7 / 0.027 = 470.4 up.
    EXPECT_EQ(grid.layout.dims, (std::array<int, 3>{1200, 300, 471}));
    EXPECT_NEAR(grid.layout.edge[0], 1.0 / 600, 1e-15);  // inches

    VolumeInfo info;
    describeGrid(grid.layout, s, box, info);
    EXPECT_EQ(info.size, 1200);
    EXPECT_NEAR(info.edge[1], 25.4 / 300, 1e-15);
    EXPECT_EQ(info.edge[2], 0.027);
    EXPECT_EQ(info.meshHigh[0], 2 * 25.4);
    EXPECT_EQ(info.unit, "mm");
    EXPECT_EQ(info.voxelSize, 0.0f);  // anisotropic: no single edge
    EXPECT_EQ(info.slices(), 471);
    EXPECT_EQ(info.width(), 1200);
    EXPECT_EQ(info.height(), 300);
}

TEST(GridLayout, QuotientsThatAreWholeNumbersStayWhole) {
    const GridMeshBox box = meshBox({0, 0, 0}, {1, 0.3, 0});
    RunSettings s;
    s.grid.shape = GridShape::Box;
    s.grid.edge = {0.1, 0.1, 0.1};
    const GridLayoutResult grid = layoutGrid(s, box, 16384);
    ASSERT_TRUE(grid.ok);
    // 1 / 0.1 and 0.3 / 0.1 come out a hair above 10 and 3; a flat side
    // still gets one layer.
    EXPECT_EQ(grid.layout.dims, (std::array<int, 3>{10, 3, 1}));
}

TEST(GridLayout, BadSettingsFailWithOneLineNamingTheProblem) {
    const GridMeshBox box = meshBox({0, 0, 0}, {10, 5, 1});
    RunSettings s;
    s.grid.shape = GridShape::Box;
    for (double bad : {0.0, -1.0, std::nan(""), double(INFINITY)}) {
        s.grid.edge = {1, bad, 1};
        if (bad == 0.0) s.grid.edge = {1, 1, -0.0};
        const GridLayoutResult grid = layoutGrid(s, box, 16384);
        EXPECT_FALSE(grid.ok) << bad;
        EXPECT_NE(grid.error.find("voxel edge along"), std::string::npos) << grid.error;
    }
    s.grid.edge = {0.05, 1, 1};  // 200 voxels along x
    GridLayoutResult grid = layoutGrid(s, box, 100);
    ASSERT_FALSE(grid.ok);
    EXPECT_NE(grid.error.find("along x"), std::string::npos) << grid.error;
    EXPECT_NE(grid.error.find("100"), std::string::npos) << grid.error;
    EXPECT_EQ(grid.error.find('\n'), std::string::npos);

    s.grid.edge = {1, 1, 1};
    s.grid.scale = 0;
    EXPECT_FALSE(layoutGrid(s, box, 100).ok);
    s.grid.scale = 1;
    s.grid.stack = StackMapping{{2, 1}, {2, -1}, {0, 1}};  // z twice
    grid = layoutGrid(s, box, 100);
    ASSERT_FALSE(grid.ok);
    EXPECT_NE(grid.error.find("stack"), std::string::npos);
}

TEST(GridLayout, FramePlacementPermutesAxesToTheModesOwnMapping) {
    const GridMeshBox box = meshBox({0, 0, 0}, {4, 2, 1});
    RunSettings s;
    s.size = 8;
    GridLayoutResult grid = layoutGrid(s, box, 16384);
    EXPECT_TRUE(placeFrame(grid.layout, VoxelMode::Clipping, box).identity);
    // The printer's mapping in the clipping mode (slices down frame y, rows
    // along frame x, columns along frame z): frame y is mesh z turned
    // round, frame x is mesh y turned round, frame z is mesh x.
    s.grid.shape = GridShape::Box;
    s.grid.stack = StackMapping{{2, 1}, {1, -1}, {0, 1}};
    grid = layoutGrid(s, box, 16384);
    ASSERT_TRUE(grid.ok);
    ASSERT_EQ(grid.layout.dims, (std::array<int, 3>{8, 4, 2}));
    const FramePlacement frame = placeFrame(grid.layout, VoxelMode::Clipping, box);
    EXPECT_FALSE(frame.identity);
    EXPECT_EQ(frame.source, (std::array<int, 3>{1, 2, 0}));
    EXPECT_EQ(frame.sign, (std::array<double, 3>{-1, -1, 1}));
    EXPECT_EQ(frame.dims, (std::array<int, 3>{4, 2, 8}));
    // Mesh y spans the prepared -512..512 (2 of 4 units, 512 a unit), as
    // does its grid: stretched to the frame's 2048.
    EXPECT_DOUBLE_EQ(frame.stretch[0], 2.0);
    EXPECT_DOUBLE_EQ(frame.centre[0], 0.0);
}

}  // namespace
}  // namespace kubelmar
