// Non-cubic and anisotropic grids through every mode: a box grid is the
// matching part of the cube, voxel for voxel; axis-aligned boxes on an
// anisotropic grid come out as exact rectangles in either stack mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/gl_test_support.h"
#include "voxel/triangle_box.h"

namespace kubelmar::test {
namespace {

// Stack position (slice, row, column) of grid voxel g (indices along +x,
// +y, +z), worked out here from the reported axes rather than with the
// library's own mapping.
std::array<int, 3> stackOf(const VolumeInfo& info, const std::array<int, 3>& g) {
    auto index = [&](SignedAxis a) { return a.sign > 0 ? g[a.axis] : info.dims[a.axis] - 1 - g[a.axis]; };
    return {index(info.sliceAxis), index(info.rowAxis), index(info.columnAxis)};
}

const std::uint8_t* voxelAt(const VolumeCapture& v, const std::array<int, 3>& g) {
    const std::array<int, 3> s = stackOf(v.info(), g);
    return v.at(s[0], s[1], s[2]);
}

bool filledAt(const VolumeCapture& v, const std::array<int, 3>& g) {
    return voxelFilled(voxelAt(v, g), v.info().encoding);
}

// A closed, lopsided octahedron whose box is (0, 0, 0)-(2, 1, 1): each
// extreme is a single vertex, so nothing but a point lies on the box's
// faces. At N = 16 the cube's voxel is 1/8 and the box's low corner lies
// on a voxel corner of the cube (4 voxels in along y and z).
std::string lopsidedOctahedron() {
    return "v 2 0.55 0.45 0.9 0.2 0.1\nv 0 0.45 0.55 0.1 0.8 0.3\nv 1.1 1 0.6 0.2 0.3 0.9\n"
           "v 0.9 0 0.4 1 1 0\nv 1.2 0.4 1 0 1 1\nv 0.8 0.6 0 0.5 0.5 0.5\n"
           "f 1 3 5\nf 3 2 5\nf 2 4 5\nf 4 1 5\nf 3 1 6\nf 2 3 6\nf 4 2 6\nf 1 4 6\n";
}

struct ModeCase {
    const char* name;
    VoxelMode mode;
    DepthPrecision precision;
    int votes;
    InsideRule inside;
    bool conservative;
    bool printerMapping = false;  // the box run slices up z (rows down y, columns up x)
};

void configure(RunSettings& s, const ModeCase& c) {
    s.mode = c.mode;
    s.depthPrecision = c.precision;
    s.parityVotes = c.votes;
    s.inside = c.inside;
    s.conservative = c.conservative;
}

class SubBox : public testing::TestWithParam<ModeCase> {};

TEST_P(SubBox, BoxGridIsTheCubesVoxelsWhereTheyMeet) {
    KUBELMAR_REQUIRE_GL();
    constexpr int n = 16;
    EngineFixture cube(n, GetParam().mode);
    ASSERT_TRUE(cube.ready);
    ASSERT_TRUE(cube.load(lopsidedOctahedron()));
    configure(cube.settings, GetParam());
    ASSERT_TRUE(cube.run().ok);

    EngineFixture box(n, GetParam().mode);
    ASSERT_TRUE(box.load(lopsidedOctahedron()));
    configure(box.settings, GetParam());
    box.settings.grid.shape = GridShape::Box;
    if (GetParam().printerMapping) box.settings.grid.stack = StackMapping{{2, 1}, {1, -1}, {0, 1}};
    const VoxelizeResult result = box.run();
    ASSERT_TRUE(result.ok) << result.error.message;

    const VolumeInfo& info = box.volume.info();
    ASSERT_EQ(info.dims, (std::array<int, 3>{16, 8, 8}));
    EXPECT_FALSE(info.cube);
    for (int a = 0; a < 3; ++a) {
        EXPECT_DOUBLE_EQ(info.edge[a], 0.125);
        EXPECT_DOUBLE_EQ(info.origin[a], 0.0);
    }
    EXPECT_EQ(box.volume.slicesReceived(), info.slices());

    const std::array<int, 3> offset = {0, 4, 4};  // the box's first voxel in the cube
    long filled = 0, outside = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const std::array<int, 3> g = {i, j, k};
                const std::array<int, 3> b = {i - offset[0], j - offset[1], k - offset[2]};
                const bool inBox = b[1] >= 0 && b[1] < 8 && b[2] >= 0 && b[2] < 8;
                if (!inBox) {
                    // The conservative surface may take a voxel that only
                    // touches the box's faces; nothing else lies outside.
                    if (!GetParam().conservative) outside += filledAt(cube.volume, g);
                    continue;
                }
                const std::uint8_t* p = voxelAt(cube.volume, g);
                const std::uint8_t* q = voxelAt(box.volume, b);
                filled += filledAt(cube.volume, g);
                ASSERT_EQ(filledAt(cube.volume, g), filledAt(box.volume, b))
                    << GetParam().name << " voxel " << i << ' ' << j << ' ' << k;
                if (GetParam().mode != VoxelMode::Clipping) {
                    ASSERT_EQ(std::memcmp(p, q, 4), 0) << GetParam().name << " voxel " << i << ' ' << j << ' ' << k;
                } else if (!GetParam().printerMapping) {
                    // The slab's clip planes sit elsewhere in the stretched
                    // frame, so the colours interpolated at the cut edges
                    // may round to a neighbouring byte. (Slicing along another
                    // axis changes which pass paints a voxel last: there
                    // only the voxels are compared.)
                    for (int ch = 0; ch < 3; ++ch)
                        ASSERT_NEAR(p[ch], q[ch], 2) << GetParam().name << " voxel " << i << ' ' << j << ' ' << k;
                }
            }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(filled, 20);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SubBox,
    testing::Values(ModeCase{"clipping", VoxelMode::Clipping, DepthPrecision::Byte, 0, InsideRule::Parity, false},
                    ModeCase{"clipping_conservative", VoxelMode::Clipping, DepthPrecision::Byte, 0,
                             InsideRule::Parity, true},
                    ModeCase{"depth_full", VoxelMode::DepthBuffer, DepthPrecision::Full, 0, InsideRule::Parity, false},
                    ModeCase{"parity", VoxelMode::Parity, DepthPrecision::Byte, 1, InsideRule::Parity, false},
                    ModeCase{"parity_votes", VoxelMode::Parity, DepthPrecision::Byte, 3, InsideRule::Parity, false},
                    ModeCase{"nonzero", VoxelMode::Parity, DepthPrecision::Byte, 1, InsideRule::NonZero, false},
                    ModeCase{"parity_conservative", VoxelMode::Parity, DepthPrecision::Byte, 1, InsideRule::Parity,
                             true},
                    ModeCase{"clipping_printer", VoxelMode::Clipping, DepthPrecision::Byte, 0, InsideRule::Parity,
                             false, true},
                    ModeCase{"depth_printer", VoxelMode::DepthBuffer, DepthPrecision::Full, 0, InsideRule::Parity,
                             false, true},
                    ModeCase{"parity_votes_printer", VoxelMode::Parity, DepthPrecision::Byte, 3, InsideRule::Parity,
                             true, true}),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// The printer's mapping: slices up z from the bottom, image width along x,
// height along y with row 0 at the top (largest y).
const StackMapping kUpZ{{2, 1}, {1, -1}, {0, 1}};

// Anisotropic voxels 0.5 x 0.25 x 1 over the frame (0, 0, 0)-(4, 3, 5):
// 8 x 12 x 5 voxels. Two unused vertices make the frame the mesh's box.
constexpr std::array<double, 3> kEdge = {0.5, 0.25, 1.0};
const std::array<int, 3> kDims = {8, 12, 5};

class Anisotropic : public testing::TestWithParam<bool> {
protected:
    void setGrid(RunSettings& s) const {
        s.grid.shape = GridShape::Box;
        s.grid.edge = kEdge;
        if (GetParam()) s.grid.stack = kUpZ;
    }
};

TEST_P(Anisotropic, SolidBoxOnVoxelBoundariesFillsExactlyItsVoxels) {
    KUBELMAR_REQUIRE_GL();
    // Faces on voxel boundaries: x 1..3 (voxels 2..5), y 0.5..2 (2..7),
    // z 1..4 (1..3). Placed off-centre so a flipped or swapped axis shows.
    std::ostringstream obj;
    obj << "v 0 0 0\nv 4 3 5\n";
    std::istringstream cube(boxObj(1, 0.5, 1, 3, 2, 4));
    for (std::string line; std::getline(cube, line);) {
        if (line[0] == 'f') {
            std::istringstream f(line.substr(2));
            obj << 'f';
            for (int v; f >> v;) obj << ' ' << v + 2;
            obj << '\n';
        } else {
            obj << line << '\n';
        }
    }
    const struct {
        VoxelMode mode;
        DepthPrecision precision;
        int votes;
    } modes[] = {{VoxelMode::DepthBuffer, DepthPrecision::Full, 0},
                 {VoxelMode::Parity, DepthPrecision::Byte, 1},
                 {VoxelMode::Parity, DepthPrecision::Byte, 3}};
    for (const auto& m : modes) {
        EngineFixture f(8, m.mode);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(obj.str()));
        f.settings.depthPrecision = m.precision;
        f.settings.parityVotes = m.votes;
        setGrid(f.settings);
        const VoxelizeResult result = f.run();
        ASSERT_TRUE(result.ok) << result.error.message;
        const VolumeInfo& info = f.volume.info();
        ASSERT_EQ(info.dims, kDims);
        EXPECT_EQ(info.edge, kEdge);
        // Both mappings slice up z (the solid modes' own runs columns down
        // x, the printer's up x).
        EXPECT_EQ(info.slices(), 5);
        EXPECT_EQ(info.width(), 8);
        EXPECT_EQ(info.height(), 12);
        EXPECT_EQ(info.columnAxis.sign, GetParam() ? 1 : -1);
        // The written slices are W x H pictures.
        int width = 0;
        const std::vector<std::uint8_t> png = readSlice(f.dir / "slices", 0, &width);
        EXPECT_EQ(width, info.width());
        EXPECT_EQ(png.size(), info.slicePixels() * 4);
        long wrong = 0;
        for (int i = 0; i < kDims[0]; ++i)
            for (int j = 0; j < kDims[1]; ++j)
                for (int k = 0; k < kDims[2]; ++k) {
                    const bool inside = i >= 2 && i <= 5 && j >= 2 && j <= 7 && k >= 1 && k <= 3;
                    wrong += filledAt(f.volume, {i, j, k}) != inside;
                }
        EXPECT_EQ(wrong, 0) << modeName(m.mode) << " votes " << m.votes;
    }
}

TEST_P(Anisotropic, ClippingShellIsOneVoxelRectangleBorders) {
    KUBELMAR_REQUIRE_GL();
    // The grid's own box as a mesh (its faces on the grid's faces), and a
    // small triangle inside voxel (5, 9, 1) alone, to pin the orientation:
    // its centroid is the voxel's centre (2.75, 2.375, 1.5), so every pass
    // draws it on that voxel's pixel.
    const std::string obj = boxObj(0, 0, 0, 4, 3, 5) +
                            "v 2.6 2.355 1.45\nv 2.85 2.325 1.75\nv 2.8 2.445 1.3\nf 9 10 11\n";
    EngineFixture f(8, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(obj));
    setGrid(f.settings);
    const VoxelizeResult result = f.run();
    ASSERT_TRUE(result.ok) << result.error.message;
    const VolumeInfo& info = f.volume.info();
    ASSERT_EQ(info.dims, kDims);
    // The default mapping slices down y (12 slices of 5 x 8); the printer's up z.
    if (GetParam()) {
        EXPECT_EQ(info.slices(), 5);
        EXPECT_EQ(info.width(), 8);
        EXPECT_EQ(info.height(), 12);
    } else {
        EXPECT_EQ(info.slices(), 12);
        EXPECT_EQ(info.width(), 5);
        EXPECT_EQ(info.height(), 8);
    }
    EXPECT_EQ(result.filesWritten, info.slices() + 1);
    long wrong = 0;
    for (int i = 0; i < kDims[0]; ++i)
        for (int j = 0; j < kDims[1]; ++j)
            for (int k = 0; k < kDims[2]; ++k) {
                const bool shell = i == 0 || i == kDims[0] - 1 || j == 0 || j == kDims[1] - 1 || k == 0 ||
                                   k == kDims[2] - 1;
                const bool marker = i == 5 && j == 9 && k == 1;
                wrong += filledAt(f.volume, {i, j, k}) != (shell || marker);
            }
    EXPECT_EQ(wrong, 0);
    // voxelscale.txt gives each axis its own edge.
    std::ifstream scale(f.dir / "slices" / "voxelscale.txt");
    std::stringstream text;
    text << scale.rdbuf();
    EXPECT_EQ(text.str(), "x 0.5\ny 0.25\nz 1\n");
}

INSTANTIATE_TEST_SUITE_P(Mappings, Anisotropic, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "UpZ" : "ModesOwn"; });

// A box turned about z and x as an OBJ, with a point-in-box test and its
// corners as the file holds them (single precision).
struct TiltedBox {
    double r[3][3];  // rotation Rx(15 deg) Rz(25 deg): columns are the box's own axes
    double centre[3] = {2, 1.5, 1}, half[3] = {1.5, 0.8, 0.5};
    float corner[8][3];
    std::array<float, 3> low = {1e9f, 1e9f, 1e9f};
    std::string obj;
    static constexpr int kQuads[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5},
                                         {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};

    TiltedBox() {
        const double pi = 3.14159265358979323846;
        const double a = 25 * pi / 180, b = 15 * pi / 180;
        const double rz[3][3] = {{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}};
        const double rx[3][3] = {{1, 0, 0}, {0, std::cos(b), -std::sin(b)}, {0, std::sin(b), std::cos(b)}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                r[i][j] = 0;
                for (int k = 0; k < 3; ++k) r[i][j] += rx[i][k] * rz[k][j];
            }
        std::ostringstream text;
        text.precision(9);
        for (int v = 0; v < 8; ++v) {
            const double local[3] = {(v & 1) ? half[0] : -half[0], (v & 2) ? half[1] : -half[1],
                                     (v & 4) ? half[2] : -half[2]};
            for (int i = 0; i < 3; ++i) {
                corner[v][i] = static_cast<float>(centre[i] + r[i][0] * local[0] + r[i][1] * local[1] +
                                                  r[i][2] * local[2]);
                low[i] = std::min(low[i], corner[v][i]);
            }
            text << "v " << corner[v][0] << ' ' << corner[v][1] << ' ' << corner[v][2] << '\n';
        }
        for (const auto& q : kQuads) text << "f " << q[0] << ' ' << q[1] << ' ' << q[2] << ' ' << q[3] << '\n';
        obj = text.str();
    }
    // Whether p is inside; `near` when it lies within `slack` of a face's plane.
    bool inside(const double p[3], double slack, bool& near) const {
        double d[3];
        for (int t = 0; t < 3; ++t) d[t] = p[t] - centre[t];
        bool in = true;
        near = false;
        for (int t = 0; t < 3; ++t) {
            const double local = r[0][t] * d[0] + r[1][t] * d[1] + r[2][t] * d[2];  // R^T d
            in = in && std::abs(local) < half[t];
            near = near || std::abs(std::abs(local) - half[t]) < slack;
        }
        return in;
    }
    // Whether the surface shares a point with the closed voxel box.
    bool touches(const double voxelCentre[3], const double voxelHalf[3]) const {
        auto at = [&](int v, double out[3]) {
            for (int i = 0; i < 3; ++i) out[i] = corner[v - 1][i];
        };
        for (const auto& q : kQuads) {
            double a[3], b[3], c[3], d[3];
            at(q[0], a), at(q[1], b), at(q[2], c), at(q[3], d);
            if (triangleTouchesBox(voxelCentre, voxelHalf, a, b, c) || triangleTouchesBox(voxelCentre, voxelHalf, a, c, d))
                return true;
        }
        return false;
    }
};

// The tilted box on anisotropic voxels: every voxel whose centre is
// clearly inside or outside it (not within a thousandth of a voxel of a
// face) is filled or empty as the point-in-box test says.
TEST_P(Anisotropic, TiltedBoxMatchesTheCpuInsideTest) {
    KUBELMAR_REQUIRE_GL();
    const TiltedBox box;
    const std::array<double, 3> edge = {0.2, 0.1, 0.15};
    const struct {
        VoxelMode mode;
        int votes;
    } modes[] = {{VoxelMode::DepthBuffer, 0}, {VoxelMode::Parity, 1}, {VoxelMode::Parity, 3}};
    for (const auto& m : modes) {
        EngineFixture f(8, m.mode);
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(box.obj));
        f.settings.depthPrecision = DepthPrecision::Full;
        f.settings.parityVotes = m.votes;
        setGrid(f.settings);
        f.settings.grid.edge = edge;
        const VoxelizeResult result = f.run();
        ASSERT_TRUE(result.ok) << result.error.message;
        const VolumeInfo& info = f.volume.info();
        long checked = 0, wrong = 0, inside = 0;
        for (int i = 0; i < info.dims[0]; ++i)
            for (int j = 0; j < info.dims[1]; ++j)
                for (int k = 0; k < info.dims[2]; ++k) {
                    const int g[3] = {i, j, k};
                    double p[3];
                    for (int t = 0; t < 3; ++t) p[t] = box.low[t] + (g[t] + 0.5) * edge[t];
                    bool near = false;
                    const bool in = box.inside(p, 1e-4, near);
                    if (near) continue;
                    ++checked;
                    inside += in;
                    wrong += filledAt(f.volume, {i, j, k}) != in;
                }
        for (int t = 0; t < 3; ++t) EXPECT_NEAR(info.origin[t], box.low[t], 1e-6);
        EXPECT_GT(inside, 1000);
        EXPECT_EQ(wrong, 0) << modeName(m.mode) << " votes " << m.votes << ", of " << checked;
    }
}

// With the conservative surface the parity solid is every voxel whose
// centre is inside, and every voxel whose (anisotropic) box the surface
// touches, exactly.
TEST_P(Anisotropic, ConservativeSurfaceTouchesTheAnisotropicVoxelBoxes) {
    KUBELMAR_REQUIRE_GL();
    const TiltedBox box;
    const std::array<double, 3> edge = {0.2, 0.1, 0.15};
    EngineFixture f(8, VoxelMode::Parity);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(box.obj));
    f.settings.parityVotes = 1;
    f.settings.conservative = true;
    setGrid(f.settings);
    f.settings.grid.edge = edge;
    const VoxelizeResult result = f.run();
    ASSERT_TRUE(result.ok) << result.error.message;
    const VolumeInfo& info = f.volume.info();
    const double half[3] = {edge[0] / 2, edge[1] / 2, edge[2] / 2};
    long wrong = 0, touched = 0;
    for (int i = 0; i < info.dims[0]; ++i)
        for (int j = 0; j < info.dims[1]; ++j)
            for (int k = 0; k < info.dims[2]; ++k) {
                const int g[3] = {i, j, k};
                double p[3];
                for (int t = 0; t < 3; ++t) p[t] = box.low[t] + (g[t] + 0.5) * edge[t];
                bool near = false;
                const bool in = box.inside(p, 0, near);
                const bool touches = box.touches(p, half);
                touched += touches;
                wrong += filledAt(f.volume, {i, j, k}) != (in || touches);
            }
    EXPECT_GT(touched, 500);
    EXPECT_EQ(wrong, 0);
}

TEST(GridLimits, AGridPastTheLimitFailsNamingTheAxisAndTheLimit) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(8, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 2, 100)));
    f.settings.grid.shape = GridShape::Box;
    f.settings.grid.edge = {0.001, 0.001, 0.001};  // 100000 voxels along z
    const VoxelizeResult result = f.run();
    ASSERT_FALSE(result.ok);
    EXPECT_NE(result.error.message.find("along z"), std::string::npos) << result.error.message;
    EXPECT_NE(result.error.message.find(std::to_string(f.engine.maxGridAxis())), std::string::npos)
        << result.error.message;
    EXPECT_EQ(f.volume.slicesReceived(), 0);
}

}  // namespace
}  // namespace kubelmar::test
