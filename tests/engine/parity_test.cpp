// The parity mode against a CPU parity count, the depth-buffer mode and GLs
// that lack what it needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "tests/support/gl_test_support.h"
#include "voxel/open_edges.h"

namespace kubelmar::test {
namespace {

// The CPU's parity volume of the loaded (prepared) mesh in the stack's
// orientation: slice i along +z, row j down from +y, column k down from +x,
// centres at -1024 + (index + 0.5) 2048 / N. Each column's crossings are
// found by intersecting the z line through the centre with every face.
// nearSurface marks voxels whose centre lies within 1/100 voxel of a
// crossing, or whose column passes within 1/100 pixel of a face's edge,
// where the GPU's rounding may decide otherwise.
struct ParityReference {
    int n = 0;
    std::vector<char> inside, nearSurface;
    std::size_t index(int i, int j, int k) const { return (static_cast<std::size_t>(i) * n + j) * n + k; }

    ParityReference(const Mesh& mesh, int size) : n(size) {
        const double step = 2048.0 / n;
        auto centre = [&](int p) { return -1024.0 + (p + 0.5) * step; };
        std::vector<std::vector<double>> crossings(static_cast<std::size_t>(n) * n);  // by (px, py)
        std::vector<char> nearEdge(crossings.size(), 0);
        for (const Face& face : mesh.faces) {
            const Float3& a = mesh.positions[face.index[0]];
            Float3 b = mesh.positions[face.index[1]];
            Float3 c = mesh.positions[face.index[2]];
            double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
            if (area == 0) continue;  // seen edge-on: the rasteriser draws nothing
            if (area < 0) {  // counter-clockwise in xy from here on
                std::swap(b, c);
                area = -area;
            }
            const int x0 = std::max(0, static_cast<int>(std::floor((std::min({a.x, b.x, c.x}) + 1024) / step - 1)));
            const int x1 = std::min(n - 1, static_cast<int>(std::ceil((std::max({a.x, b.x, c.x}) + 1024) / step)));
            const int y0 = std::max(0, static_cast<int>(std::floor((std::min({a.y, b.y, c.y}) + 1024) / step - 1)));
            const int y1 = std::min(n - 1, static_cast<int>(std::ceil((std::max({a.y, b.y, c.y}) + 1024) / step)));
            for (int py = y0; py <= y1; ++py) {
                for (int px = x0; px <= x1; ++px) {
                    const double x = centre(px), y = centre(py);
                    const std::size_t column = static_cast<std::size_t>(py) * n + px;
                    // Twice the area of (x, y) with each edge p -> q: positive
                    // inside. A centre exactly on an edge belongs to one of the
                    // two faces sharing it (they run it in opposite directions).
                    bool covered = true;
                    double weight[3];
                    const Float3* corner[3] = {&a, &b, &c};
                    for (int e = 0; e < 3; ++e) {
                        const Float3& p = *corner[(e + 1) % 3];
                        const Float3& q = *corner[(e + 2) % 3];
                        const double edge = (p.x - x) * (q.y - y) - (q.x - x) * (p.y - y);
                        weight[e] = edge / area;
                        if (std::abs(edge) / std::hypot(q.x - p.x, q.y - p.y) < step / 100) nearEdge[column] = 1;
                        const bool owns = q.y < p.y || (q.y == p.y && q.x > p.x);
                        covered = covered && (edge > 0 || (edge == 0 && owns));
                    }
                    if (covered) crossings[column].push_back(weight[0] * a.z + weight[1] * b.z + weight[2] * c.z);
                }
            }
        }
        inside.assign(static_cast<std::size_t>(n) * n * n, 0);
        nearSurface.assign(inside.size(), 0);
        for (int py = 0; py < n; ++py) {
            for (int px = 0; px < n; ++px) {
                const std::vector<double>& zs = crossings[static_cast<std::size_t>(py) * n + px];
                for (int i = 0; i < n; ++i) {
                    const double z = centre(i);
                    int below = 0;
                    bool close = nearEdge[static_cast<std::size_t>(py) * n + px] != 0;
                    for (double c : zs) {
                        below += c < z;
                        close = close || std::abs(c - z) < step / 100;
                    }
                    const std::size_t v = index(i, n - 1 - py, n - 1 - px);
                    inside[v] = below % 2;
                    nearSurface[v] = close;
                }
            }
        }
    }
};

// Voxels where the run and the reference differ; `far` counts those not
// explained by a centre next to the surface.
struct Disagreement {
    long total = 0, far = 0, filled = 0;
};

Disagreement compare(const VolumeCapture& volume, const ParityReference& reference) {
    Disagreement d;
    const int n = reference.n;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const bool gpu = volume.filled(i, j, k);
                d.filled += gpu;
                if (gpu == (reference.inside[reference.index(i, j, k)] != 0)) continue;
                ++d.total;
                d.far += !reference.nearSurface[reference.index(i, j, k)];
            }
    return d;
}

// A unit box holding two spherical cavities, one wound inward and one
// outward: the parity rule must empty both. Off-centre, so a swapped axis
// moves them.
std::string boxWithTwoCavities() {
    const int stacks = 10, slices = 14;
    return boxObj(0, 0, 0, 1, 1, 1) + sphereObj(0.3f, 0.35f, 0.28f, 0.16f, stacks, slices, 9, true) +
           sphereObj(0.7f, 0.66f, 0.69f, 0.19f, stacks, slices, 9 + (stacks + 1) * slices, false);
}

// A box turned about two axes, a torus through which it passes and a ball:
// closed, asymmetric, overlapping (parity of a union of closed surfaces is
// the XOR of each, which the reference counts the same way).
std::string tiltedShapes() {
    std::ostringstream o;
    const double pi = 3.14159265358979323846;
    const double ca = std::cos(0.5), sa = std::sin(0.5), cb = std::cos(0.3), sb = std::sin(0.3);
    for (int v = 0; v < 8; ++v) {
        const double x = (v & 1) ? 0.35 : -0.35, y = (v & 2) ? 0.2 : -0.2, z = (v & 4) ? 0.5 : -0.5;
        const double x1 = ca * x - sa * y, y1 = sa * x + ca * y;  // about z
        const double y2 = cb * y1 - sb * z, z2 = sb * y1 + cb * z;  // about x
        o << "v " << x1 + 0.1 << ' ' << y2 - 0.05 << ' ' << z2 << '\n';
    }
    o << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    const int rings = 24, sides = 10;  // torus about the y axis, centred at (0.2, 0.1, 0.05)
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < sides; ++s) {
            const double u = 2 * pi * r / rings, w = 2 * pi * s / sides, rad = 0.55 + 0.15 * std::cos(w);
            o << "v " << 0.2 + rad * std::cos(u) << ' ' << 0.1 + 0.15 * std::sin(w) << ' ' << 0.05 + rad * std::sin(u)
              << '\n';
        }
    auto id = [&](int r, int s) { return 9 + (r % rings) * sides + (s % sides); };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < sides; ++s)
            o << "f " << id(r, s) << ' ' << id(r, s + 1) << ' ' << id(r + 1, s + 1) << ' ' << id(r + 1, s) << '\n';
    return o.str() + sphereObj(-0.45f, 0.3f, 0.4f, 0.22f, 9, 13, 9 + rings * sides, false);
}

TEST(ParityMode, CavitiesStayEmptyWhereTheDepthModeFillsThem) {
    KUBELMAR_REQUIRE_GL();
    const int sizes[6] = {1, 37, 100, 129, 37, 100};
    for (int run = 0; run < 6; ++run) {
        const int n = sizes[run];
        const int votes = run < 4 ? 1 : 3;
        EngineFixture f(n, VoxelMode::Parity);
        f.settings.parityVotes = votes;
        ASSERT_TRUE(f.ready);
        ASSERT_TRUE(f.load(boxWithTwoCavities()));
        const VoxelizeResult result = f.run();
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_EQ(f.volume.slicesReceived(), n);
        EXPECT_EQ(f.volume.info().encoding, SliceEncoding::Occupancy);
        EXPECT_EQ(f.log.str().find("boundary edges"), std::string::npos) << f.log.str();
        const ParityReference reference(f.engine.mesh(), n);
        const Disagreement d = compare(f.volume, reference);
        // Each ray is exact but for centres on the surface; with three, a
        // centre close to a face steep to z may differ far along z.
        if (votes == 1) {
            EXPECT_EQ(d.far, 0) << "N=" << n;
        }
        EXPECT_LE(d.total, std::max(1L, d.filled / 1000)) << "N=" << n << " votes " << votes;
        if (n == 1) {
            EXPECT_TRUE(f.volume.filled(0, 0, 0));  // the box's centre lies in neither cavity
            continue;
        }
        // Cavity centres in stack indices: slice along +z, row from +y, column from +x.
        auto voxel = [n](double t) { return static_cast<int>(t * n); };
        EXPECT_FALSE(f.volume.filled(voxel(0.28), voxel(1 - 0.35), voxel(1 - 0.3))) << "N=" << n;
        EXPECT_FALSE(f.volume.filled(voxel(0.69), voxel(1 - 0.66), voxel(1 - 0.7))) << "N=" << n;
        EXPECT_TRUE(f.volume.filled(voxel(0.69), voxel(1 - 0.35), voxel(1 - 0.3))) << "N=" << n;
        if (n == 100 && votes == 1) {
            EngineFixture depth(n, VoxelMode::DepthBuffer);
            ASSERT_TRUE(depth.load(boxWithTwoCavities()));
            ASSERT_TRUE(depth.run().ok);
            EXPECT_TRUE(depth.volume.filled(voxel(0.28), voxel(1 - 0.35), voxel(1 - 0.3)));
            EXPECT_EQ(depth.volume.count(), long(n) * n * n);
        }
    }
}

TEST(ParityMode, MatchesCpuParityOnAsymmetricOverlappingShapes) {
    KUBELMAR_REQUIRE_GL();
    for (int n : {64, 300}) {
        EngineFixture f(n, VoxelMode::Parity);
        ASSERT_TRUE(f.load(tiltedShapes()));
        const VoxelizeResult result = f.run();
        ASSERT_TRUE(result.ok) << result.error;
        const Disagreement d = compare(f.volume, ParityReference(f.engine.mesh(), n));
        EXPECT_GT(d.filled, long(n) * n * n / 20) << "N=" << n;
        EXPECT_EQ(d.far, 0) << "N=" << n;
        EXPECT_LE(d.total, d.filled / 1000) << "N=" << n;
    }
}

// A convex closed mesh has one solid under both rules: the stacks must agree
// but for voxels on the boundary, which also pins the orientation.
TEST(ParityMode, SharesTheDepthModesOrientation) {
    KUBELMAR_REQUIRE_GL();
    const std::string wedge = "v 0 0 0\nv 1 0 0\nv 0 0.6 0\nv 0 0 0.8\nv 0.3 0.5 0.7\n"
                              "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 5\nf 3 4 5\nf 4 2 5\n";
    const int n = 48;
    EngineFixture parity(n, VoxelMode::Parity), depth(n, VoxelMode::DepthBuffer);
    depth.settings.depthPrecision = DepthPrecision::Full;
    ASSERT_TRUE(parity.load(wedge));
    ASSERT_TRUE(depth.load(wedge));
    ASSERT_TRUE(parity.run().ok);
    ASSERT_TRUE(depth.run().ok);
    const VolumeInfo a = parity.volume.info(), b = depth.volume.info();
    EXPECT_EQ(a.sliceAxis.axis * 2 + a.sliceAxis.sign, b.sliceAxis.axis * 2 + b.sliceAxis.sign);
    EXPECT_EQ(a.rowAxis.axis * 2 + a.rowAxis.sign, b.rowAxis.axis * 2 + b.rowAxis.sign);
    EXPECT_EQ(a.columnAxis.axis * 2 + a.columnAxis.sign, b.columnAxis.axis * 2 + b.columnAxis.sign);
    long differ = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) differ += parity.volume.filled(i, j, k) != depth.volume.filled(i, j, k);
    const long filled = parity.volume.count();
    EXPECT_GT(filled, long(n) * n * n / 20);
    EXPECT_LE(differ, filled / 100) << filled;
}

TEST(ParityMode, LeavesTheFixedFunctionModesAsTheyWere) {
    KUBELMAR_REQUIRE_GL();
    const std::string mesh = boxWithTwoCavities();
    EngineFixture f(40, VoxelMode::Clipping);
    ASSERT_TRUE(f.load(mesh));
    std::vector<VolumeCapture> runs(4);
    NullProgress none;
    const VoxelMode modes[4] = {VoxelMode::Clipping, VoxelMode::DepthBuffer, VoxelMode::Parity, VoxelMode::Clipping};
    for (int r = 0; r < 4; ++r) {
        f.settings.mode = modes[r];
        ASSERT_TRUE(f.engine.voxelize(f.settings, runs[r], none).ok);
    }
    f.settings.mode = VoxelMode::DepthBuffer;
    VolumeCapture depthAgain;
    ASSERT_TRUE(f.engine.voxelize(f.settings, depthAgain, none).ok);
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j)
            for (int k = 0; k < 40; ++k) {
                ASSERT_EQ(std::memcmp(runs[0].at(i, j, k), runs[3].at(i, j, k), 4), 0) << i << ' ' << j << ' ' << k;
                ASSERT_EQ(runs[1].filled(i, j, k), depthAgain.filled(i, j, k)) << i << ' ' << j << ' ' << k;
            }
}

// One triangle of the torus missing: along z alone the hole leaks a streak;
// with three rays a voxel goes wrong only where two of its rays meet the
// hole.
TEST(ParityMode, ThreeVotesCloseAMissingTriangle) {
    KUBELMAR_REQUIRE_GL();
    const int n = 96;
    const std::string closed = tiltedShapes();
    std::string open = closed;
    const std::size_t torusFace = open.find("f 9 ");
    ASSERT_NE(torusFace, std::string::npos);
    const std::size_t lineEnd = open.find('\n', torusFace);
    // Keep one of the quad's two triangles.
    std::istringstream quad(open.substr(torusFace + 2, lineEnd - torusFace - 2));
    int a, b, c, d;
    quad >> a >> b >> c >> d;
    open.replace(torusFace, lineEnd - torusFace,
                 "f " + std::to_string(a) + ' ' + std::to_string(b) + ' ' + std::to_string(c));

    EngineFixture exact(n, VoxelMode::Parity);
    exact.settings.parityVotes = 1;
    ASSERT_TRUE(exact.load(closed));
    ASSERT_TRUE(exact.run().ok);
    EXPECT_NE(exact.log.str().find("Parity votes: 1 (rays along z; as asked)"), std::string::npos) << exact.log.str();

    auto differences = [&](const VolumeCapture& v) {
        long differ = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) differ += v.filled(i, j, k) != exact.volume.filled(i, j, k);
        return differ;
    };
    const long volume = long(n) * n * n;
    {
        EngineFixture voted(n, VoxelMode::Parity);  // votes left to the mode: 3 for an open mesh
        ASSERT_TRUE(voted.load(open));
        ASSERT_TRUE(voted.run().ok);
        ASSERT_EQ(voted.warnings.size(), 1u);
        EXPECT_EQ(voted.warnings[0].severity, Diagnostic::Severity::Warning);
        EXPECT_EQ(voted.warnings[0].message.rfind("3 boundary edges", 0), 0u) << voted.warnings[0];
        EXPECT_NE(voted.log.str().find("Parity votes: 3 (rays along x, y and z; the mesh is not closed)"),
                  std::string::npos);
        EXPECT_LE(differences(voted.volume), volume / 200);
    }
    {
        EngineFixture leaky(n, VoxelMode::Parity);
        leaky.settings.parityVotes = 1;
        ASSERT_TRUE(leaky.load(open));
        ASSERT_TRUE(leaky.run().ok);
        EXPECT_GT(differences(leaky.volume), 0);  // the streak the votes remove
    }
    {
        // On the closed mesh the three rays agree but for centres on the surface.
        EngineFixture votedClosed(n, VoxelMode::Parity);
        votedClosed.settings.parityVotes = 3;
        ASSERT_TRUE(votedClosed.load(closed));
        ASSERT_TRUE(votedClosed.run().ok);
        EXPECT_LE(differences(votedClosed.volume), exact.volume.count() / 1000);
    }
}

// Three boxes, each with one side left open, in corners of the unit cube
// chosen so that each leak (the space beyond the open side, along the axis
// through it) meets nothing else: there one ray of three says inside.
struct LeakyBoxes {
    std::string obj;
    // Centres in the unit cube: inside a box, and in the leak beyond it.
    std::vector<std::array<double, 3>> inside, leaks;

    LeakyBoxes() {
        struct Box {
            std::array<double, 3> low, high;
            int open;  // the side left out: +x, +y or +z
        };
        const Box boxes[3] = {{{0.0, 0.0, 0.0}, {0.3, 0.3, 0.3}, 2},
                              {{0.0, 0.7, 0.7}, {0.3, 1.0, 1.0}, 0},
                              {{0.7, 0.0, 0.0}, {1.0, 0.3, 0.3}, 1}};
        // Corner c has x from bit 0, y from bit 1, z from bit 2; sides as -x, +x, -y, +y, -z, +z.
        const int sides[6][4] = {{1, 5, 7, 3}, {2, 4, 8, 6}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 3, 4, 2}, {5, 6, 8, 7}};
        std::ostringstream o;
        for (int b = 0; b < 3; ++b) {
            const Box& box = boxes[b];
            for (int c = 0; c < 8; ++c)
                o << "v " << (c & 1 ? box.high : box.low)[0] << ' ' << (c & 2 ? box.high : box.low)[1] << ' '
                  << (c & 4 ? box.high : box.low)[2] << '\n';
            for (int side = 0; side < 6; ++side)
                if (side != 2 * box.open + 1) {
                    o << 'f';
                    for (int corner : sides[side]) o << ' ' << corner + 8 * b;
                    o << '\n';
                }
            std::array<double, 3> centre, leak;
            for (int a = 0; a < 3; ++a) centre[a] = leak[a] = (box.low[a] + box.high[a]) / 2;
            leak[box.open] = 0.85;
            inside.push_back(centre);
            leaks.push_back(leak);
        }
        obj = o.str();
    }
};

TEST(ParityMode, ThreeVotesNeedTwoRaysInside) {
    KUBELMAR_REQUIRE_GL();
    constexpr int n = 40;
    const LeakyBoxes mesh;
    // Stack indices: slice along +z, row down from +y, column down from +x.
    auto filled = [](const VolumeCapture& volume, const std::array<double, 3>& p) {
        auto index = [](double t) { return static_cast<int>(t * n); };
        return volume.filled(index(p[2]), n - 1 - index(p[1]), n - 1 - index(p[0]));
    };
    EngineFixture voted(n, VoxelMode::Parity);
    voted.settings.parityVotes = 3;
    ASSERT_TRUE(voted.load(mesh.obj));
    ASSERT_TRUE(voted.run().ok);
    for (int b = 0; b < 3; ++b) {
        EXPECT_TRUE(filled(voted.volume, mesh.inside[b])) << "box " << b;
        EXPECT_FALSE(filled(voted.volume, mesh.leaks[b])) << "box " << b;
    }
    // Three boxes of 12^3 voxels (no centre lies on a side) and nothing else.
    EXPECT_EQ(voted.volume.count(), 3 * 12 * 12 * 12);
    // Along z alone the box open to +z leaks all the way up.
    EngineFixture zOnly(n, VoxelMode::Parity);
    zOnly.settings.parityVotes = 1;
    ASSERT_TRUE(zOnly.load(mesh.obj));
    ASSERT_TRUE(zOnly.run().ok);
    EXPECT_TRUE(filled(zOnly.volume, mesh.leaks[0]));
}

TEST(ParityMode, AnOpenMeshIsReportedAndAGLWithoutIntegerTargetsIsAnError) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(16, VoxelMode::Parity);
    std::string open = boxObj(0, 0, 0, 1, 1, 1);
    open.erase(open.rfind("f "));  // drop the +z side: four boundary edges
    ASSERT_TRUE(f.load(open));
    ASSERT_TRUE(f.run().ok);
    ASSERT_EQ(f.warnings.size(), 1u);
    EXPECT_EQ(f.warnings[0].message.rfind("4 boundary edges: the mesh is not closed", 0), 0u) << f.warnings[0];

    f.engine.extensionLoader().glClearBufferuiv = nullptr;
    VolumeCapture volume;
    NullProgress none;
    const VoxelizeResult result = f.engine.voxelize(f.settings, volume, none);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.message.find("needs OpenGL 3.0"), std::string::npos) << result.error.text();
    EXPECT_EQ(result.error.message.find('\n'), std::string::npos);
    EXPECT_EQ(volume.slicesReceived(), 0);
}

TEST(OpenEdges, CountsBoundaryAndNonManifoldEdgesByPosition) {
    // Two triangles sharing the edge (1,0,0)-(0,1,0), the second through
    // copies of its corners (as a split for another material gives).
    std::vector<Float3> p(6);
    p[0].x = 0; p[1].x = 1; p[2].y = 1;
    p[3].x = 1; p[4].y = 1; p[5].x = 1; p[5].y = 1;
    EXPECT_EQ(countOpenEdges(p, {0, 1, 2, 3, 5, 4}), 4);
    // A third face on that edge makes it non-manifold.
    p.push_back(p[5]);
    p.back().z = 1;
    EXPECT_EQ(countOpenEdges(p, {0, 1, 2, 3, 5, 4, 1, 6, 2}), 7);
    // A face with two corners at one position has no edges of its own.
    EXPECT_EQ(countOpenEdges(p, {0, 1, 2, 1, 3, 2}), 3);
}

}  // namespace
}  // namespace kubelmar::test
