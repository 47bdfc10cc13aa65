#include <gtest/gtest.h>

#include "engine/grid_options.h"

namespace kubelmar {
namespace {

GridSettings resolved(const GridOptions& options) {
    GridSettings settings;
    std::string error;
    EXPECT_TRUE(resolveGridOptions(options, settings, &error)) << error;
    return settings;
}

std::string refusal(const GridOptions& options) {
    GridSettings settings;
    settings.scale = 7;  // a refusal leaves the settings as they were
    std::string error;
    EXPECT_FALSE(resolveGridOptions(options, settings, &error));
    EXPECT_EQ(settings.scale, 7);
    return error;
}

TEST(GridOptions, NoOptionsKeepTheCube) {
    const GridSettings s = resolved({});
    EXPECT_EQ(s.shape, GridShape::Cube);
    EXPECT_EQ(s.edge[0], 0);
    EXPECT_EQ(s.scale, 1);
    EXPECT_FALSE(s.stack.has_value());
}

TEST(GridOptions, LengthsWithUnitsBecomeOutputUnits) {
    // Mesh in inches: 0.1 in stays 0.1; 2.54 mm is 0.1 in; 1 cm is 1/2.54 in.
    GridOptions o;
    o.units = "in";
    o.voxelSize = "0.1, 2.54mm ,1cm";
    const GridSettings s = resolved(o);
    EXPECT_EQ(s.shape, GridShape::Box);
    EXPECT_DOUBLE_EQ(s.edge[0], 0.1);
    EXPECT_DOUBLE_EQ(s.edge[1], 0.1);
    EXPECT_DOUBLE_EQ(s.edge[2], 10.0 / 25.4);
    EXPECT_EQ(s.unit, "in");

    GridOptions m;
    m.units = "m";
    m.voxelSize = "0.5mm";
    m.scale = "2.5";
    const GridSettings sm = resolved(m);
    for (double e : sm.edge) EXPECT_DOUBLE_EQ(e, 0.0005);
    EXPECT_DOUBLE_EQ(sm.scale, 2.5);
}

TEST(GridOptions, PrinterGridFromDpiAndLayer) {
    // 600 x 300 dpi: 25.4 / 600 = 0.042333 mm across the width (x with z
    // up), 0.084667 mm along the height (y); layers 27 um thick along z.
    GridOptions o;
    o.units = "mm";
    o.dpi = "600,300";
    o.layer = "27e-3";
    const GridSettings s = resolved(o);
    EXPECT_NEAR(s.edge[0], 0.0423333, 1e-7);
    EXPECT_NEAR(s.edge[1], 0.0846667, 1e-7);
    EXPECT_DOUBLE_EQ(s.edge[2], 0.027);
    ASSERT_TRUE(s.stack.has_value());
    EXPECT_EQ(s.stack->slice.axis, 2);
    EXPECT_EQ(s.stack->slice.sign, 1);  // bottom layer first
    EXPECT_EQ(s.stack->column.axis, 0);
    EXPECT_EQ(s.stack->row.axis, 1);
    EXPECT_EQ(s.stack->row.sign, -1);  // image row 0 at the top: high y

    // Built along y: width is x, height is z. One dpi value serves both.
    o.up = "y";
    o.dpi = "254";
    o.units = "cm";
    o.layer = "0.5mm";
    const GridSettings y = resolved(o);
    EXPECT_DOUBLE_EQ(y.edge[0], 0.01);  // 0.1 mm in cm
    EXPECT_DOUBLE_EQ(y.edge[2], 0.01);
    EXPECT_DOUBLE_EQ(y.edge[1], 0.05);
    EXPECT_EQ(y.stack->slice.axis, 1);
    EXPECT_EQ(y.stack->column.axis, 0);
    EXPECT_EQ(y.stack->row.axis, 2);
}

TEST(GridOptions, EveryStackAxisHasBothOthersAcrossIt) {
    for (int axis = 0; axis < 3; ++axis) {
        const StackMapping m = stackAlong(axis);
        EXPECT_EQ(m.slice.axis + m.row.axis + m.column.axis, 3);
        EXPECT_LT(m.column.axis, m.row.axis);
    }
    GridOptions o;
    o.sliceAxis = "x";
    EXPECT_EQ(resolved(o).stack->slice.axis, 0);
    EXPECT_EQ(resolved(o).shape, GridShape::Cube);
}

TEST(GridOptions, PresetsAreBundlesTheOptionsOverride) {
    ASSERT_GE(gridPresets().size(), 2u);
    for (const GridPreset& preset : gridPresets()) {
        EXPECT_FALSE(preset.description.empty()) << preset.name;
        GridOptions o;
        o.preset = preset.name;
        EXPECT_EQ(resolved(o).preset, preset.name);
    }
    GridOptions o;
    o.preset = "voxel-print-600x300";
    o.layer = "0.014";
    const GridSettings s = resolved(o);
    EXPECT_NEAR(s.edge[1], 25.4 / 300, 1e-12);
    EXPECT_DOUBLE_EQ(s.edge[2], 0.014);
}

TEST(GridOptions, BadOptionsAreRefusedNamingTheOption) {
    auto with = [](auto set) {
        GridOptions o;
        set(o);
        return refusal(o);
    };
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "0"; }).find("--voxel-size: must be a positive"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "-2"; }).find("--voxel-size"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "nan"; }).find("--voxel-size"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "1,2"; }).find("SX,SY,SZ"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "1e999"; }).find("--voxel-size"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "1ft"; o.units = "mm"; }).find("unknown unit 'ft'"),
              std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.voxelSize = "1mm"; }).find("--units"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.units = "furlong"; }).find("--units: unknown unit"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.scale = "0"; }).find("--scale"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.scale = "2mm"; }).find("--scale"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.dpi = "600"; o.layer = "1"; }).find("--dpi: dots per inch need --units"),
              std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.dpi = "600"; o.units = "mm"; }).find("--layer"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.layer = "1"; }).find("--layer: needs --dpi"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.dpi = "600,0"; o.units = "mm"; o.layer = "1"; }).find("--dpi"),
              std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.grid = "cube"; o.voxelSize = "1"; }).find("--grid cube"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.grid = "sphere"; }).find("--grid"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.up = "w"; }).find("--up"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.up = "z"; o.sliceAxis = "x"; }).find("--slice-axis"), std::string::npos);
    EXPECT_NE(with([](GridOptions& o) { o.preset = "nope"; }).find("--preset list"), std::string::npos);
}

TEST(GridPresetsFile, MalformedLinesAreNamed) {
    std::vector<GridPreset> presets;
    std::string error;
    EXPECT_FALSE(parseGridPresets("units = mm\n", presets, &error));
    EXPECT_EQ(error, "line 1: a key before the first [name]");
    EXPECT_FALSE(parseGridPresets("# c\n[a]\ncolour = red\n", presets, &error));
    EXPECT_EQ(error, "line 3: unknown key 'colour'");
    EXPECT_FALSE(parseGridPresets("[a]\njust words\n", presets, &error));
    EXPECT_EQ(error, "line 2: expected key = value");
    ASSERT_TRUE(parseGridPresets("[a]\r\ndpi = 300\r\n\r\n[b]\n", presets, &error)) << error;
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0].options.dpi, "300");
}

}  // namespace
}  // namespace kubelmar
