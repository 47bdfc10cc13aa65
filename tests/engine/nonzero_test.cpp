// The parity mode's nonzero rule against a CPU count of signed crossings,
// against the parity rule, and on the overlapping shells it exists for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

// A box whose corners are OBJ vertices first .. first + 7, wound outward
// (or inward: a cavity's wall).
std::string boxAt(double x0, double y0, double z0, double x1, double y1, double z1, int first, bool inward = false) {
    std::ostringstream o;
    for (int i = 0; i < 8; ++i)
        o << "v " << ((i & 1) ? x1 : x0) << ' ' << ((i & 2) ? y1 : y0) << ' ' << ((i & 4) ? z1 : z0) << '\n';
    const int quads[6][4] = {{1, 3, 4, 2}, {5, 6, 8, 7}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 5, 7, 3}, {2, 4, 8, 6}};
    for (const auto& q : quads) {
        o << "f";
        for (int c = 0; c < 4; ++c) o << ' ' << first - 1 + q[inward ? 3 - c : c];
        o << '\n';
    }
    return o.str();
}

// Winding numbers of the loaded (prepared) mesh at the voxel centres, in the
// stack's orientation (slice along +z, row down from +y, column down from
// +x), counted along z from below: a face turned towards -z enters (+1).
// Coverage across the ray follows GL's rule for centres on an edge;
// nearSurface marks centres within 1/100 voxel of a crossing or an edge.
struct WindingReference {
    int n = 0;
    std::vector<int> winding;
    std::vector<char> nearSurface;
    std::size_t index(int i, int j, int k) const { return (static_cast<std::size_t>(i) * n + j) * n + k; }

    WindingReference(const Mesh& mesh, int size) : n(size) {
        const double step = 2048.0 / n;
        auto centre = [&](int p) { return -1024.0 + (p + 0.5) * step; };
        std::vector<std::vector<std::pair<double, int>>> crossings(static_cast<std::size_t>(n) * n);
        std::vector<char> nearEdge(crossings.size(), 0);
        for (const Face& face : mesh.faces) {
            const Float3& a = mesh.positions[face.index[0]];
            Float3 b = mesh.positions[face.index[1]];
            Float3 c = mesh.positions[face.index[2]];
            double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
            if (area == 0) continue;
            const int sign = area > 0 ? -1 : 1;  // counter-clockwise from +z: normal up, leaving
            if (area < 0) {
                std::swap(b, c);
                area = -area;
            }
            const int x0 = std::max(0, static_cast<int>(std::floor((std::min({a.x, b.x, c.x}) + 1024) / step - 1)));
            const int x1 = std::min(n - 1, static_cast<int>(std::ceil((std::max({a.x, b.x, c.x}) + 1024) / step)));
            const int y0 = std::max(0, static_cast<int>(std::floor((std::min({a.y, b.y, c.y}) + 1024) / step - 1)));
            const int y1 = std::min(n - 1, static_cast<int>(std::ceil((std::max({a.y, b.y, c.y}) + 1024) / step)));
            const Float3* corner[3] = {&a, &b, &c};
            for (int py = y0; py <= y1; ++py)
                for (int px = x0; px <= x1; ++px) {
                    const double x = centre(px), y = centre(py);
                    const std::size_t column = static_cast<std::size_t>(py) * n + px;
                    bool covered = true;
                    double weight[3];
                    for (int e = 0; e < 3; ++e) {
                        const Float3& p = *corner[(e + 1) % 3];
                        const Float3& q = *corner[(e + 2) % 3];
                        const double edge = (p.x - x) * (q.y - y) - (q.x - x) * (p.y - y);
                        weight[e] = edge / area;
                        if (std::abs(edge) / std::hypot(q.x - p.x, q.y - p.y) < step / 100) nearEdge[column] = 1;
                        const bool owns = q.y < p.y || (q.y == p.y && q.x > p.x);
                        covered = covered && (edge > 0 || (edge == 0 && owns));
                    }
                    if (covered)
                        crossings[column].push_back({weight[0] * a.z + weight[1] * b.z + weight[2] * c.z, sign});
                }
        }
        winding.assign(static_cast<std::size_t>(n) * n * n, 0);
        nearSurface.assign(winding.size(), 0);
        for (int py = 0; py < n; ++py)
            for (int px = 0; px < n; ++px) {
                const std::size_t column = static_cast<std::size_t>(py) * n + px;
                for (int i = 0; i < n; ++i) {
                    const double z = centre(i);
                    int sum = 0;
                    bool close = nearEdge[column] != 0;
                    for (const auto& [c, sign] : crossings[column]) {
                        if (c < z) sum += sign;
                        close = close || std::abs(c - z) < step / 100;
                    }
                    const std::size_t v = index(i, n - 1 - py, n - 1 - px);
                    winding[v] = sum;
                    nearSurface[v] = close;
                }
            }
    }
};

// A big box with a smaller one crossing its +x side, a cavity wound inward
// (empty under both rules) and one wound outward (winding 2: nonzero fills
// it). Asymmetric, so a swapped axis or a flipped sign shows.
std::string overlappingShells() {
    return boxAt(0, 0, 0, 1, 0.8, 0.9, 1) + boxAt(0.7, 0.2, 0.25, 1.3, 0.55, 0.6, 9) +
           sphereObj(0.25f, 0.3f, 0.3f, 0.14f, 8, 12, 17, true) +
           sphereObj(0.3f, 0.55f, 0.65f, 0.12f, 8, 12, 17 + 9 * 12, false);
}

struct RuleRun {
    EngineFixture f;
    VoxelizeResult result;
    RuleRun(int n, const std::string& obj, InsideRule rule, int votes = 1) : f(n, VoxelMode::Parity) {
        f.settings.inside = rule;
        f.settings.parityVotes = votes;
        if (f.load(obj)) result = f.run();
        else result.ok = false;
    }
};

long countDifferences(const VolumeCapture& a, const VolumeCapture& b, int n) {
    long differ = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) differ += a.filled(i, j, k) != b.filled(i, j, k);
    return differ;
}

TEST(NonZeroRule, MatchesCpuSignedCrossings) {
    KUBELMAR_REQUIRE_GL();
    // 130: a second band of 128 slices; 300: three bands counted in one pass,
    // the last one partly.
    for (int n : {1, 29, 64, 130, 300}) {
        RuleRun run(n, overlappingShells(), InsideRule::NonZero);
        ASSERT_TRUE(run.result.ok) << run.result.error.text();
        ASSERT_EQ(run.f.volume.slicesReceived(), n);
        const WindingReference reference(run.f.engine.mesh(), n);
        long far = 0, near = 0, filled = 0, twice = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) {
                    const int w = reference.winding[reference.index(i, j, k)];
                    EXPECT_GE(w, 0);  // every shell but the inward cavity winds outward
                    twice += w == 2;
                    const bool gpu = run.f.volume.filled(i, j, k);
                    filled += gpu;
                    if (gpu == (w != 0)) continue;
                    (reference.nearSurface[reference.index(i, j, k)] ? near : far) += 1;
                }
        EXPECT_EQ(far, 0) << "N=" << n;
        EXPECT_LE(near, std::max(1L, filled / 1000)) << "N=" << n;
        if (n >= 64) {
            EXPECT_GT(twice, 0);  // the overlap and the outward cavity are counted twice
        }
    }
}

TEST(NonZeroRule, OverlappingBoxesComeOutSolidWhereParityEmptiesThem) {
    KUBELMAR_REQUIRE_GL();
    const int n = 40;
    // Two boxes crossing in their middle third along x.
    const std::string two = boxAt(0, 0.1, 0.1, 0.6, 0.9, 0.8, 1) + boxAt(0.4, 0.2, 0.3, 1, 0.7, 0.9, 9);
    RuleRun parity(n, two, InsideRule::Parity), nonzero(n, two, InsideRule::NonZero);
    ASSERT_TRUE(parity.result.ok);
    ASSERT_TRUE(nonzero.result.ok) << nonzero.result.error.text();
    // A voxel in both boxes: x 0.5, y 0.45, z 0.55 (column counts down from +x).
    auto at = [=](double t) { return static_cast<int>(t * n); };
    const int i = at(0.55), j = at(1 - 0.45), k = at(1 - 0.5);
    EXPECT_FALSE(parity.f.volume.filled(i, j, k));
    EXPECT_TRUE(nonzero.f.volume.filled(i, j, k));
    // The union holds no hole: every voxel inside either box (away from the
    // faces) is set, and nonzero sets exactly parity's voxels plus the shared part.
    long holes = 0;
    for (int s = 0; s < n; ++s)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const double x = 1 - (c + 0.5) / n, y = 1 - (r + 0.5) / n, z = (s + 0.5) / n;
                auto in = [&](double a0, double b0, double c0, double a1, double b1, double c1) {
                    const double e = 1.0 / n;
                    return x > a0 + e && x < a1 - e && y > b0 + e && y < b1 - e && z > c0 + e && z < c1 - e;
                };
                if (in(0, 0.1, 0.1, 0.6, 0.9, 0.8) || in(0.4, 0.2, 0.3, 1, 0.7, 0.9))
                    holes += !nonzero.f.volume.filled(s, r, c);
                if (parity.f.volume.filled(s, r, c)) {
                    EXPECT_TRUE(nonzero.f.volume.filled(s, r, c));
                }
            }
    EXPECT_EQ(holes, 0);
    EXPECT_GT(nonzero.f.volume.count(), parity.f.volume.count());
}

TEST(NonZeroRule, IsExactlyParityOnClosedShellsThatDoNotOverlap) {
    KUBELMAR_REQUIRE_GL();
    // A box holding a cavity wound inward, and a separate tilted ball.
    // The mesh's box is the unit cube, so at() finds places in the stack.
    const std::string mesh = boxAt(0, 0, 0, 0.62, 1, 1, 1) + sphereObj(0.3f, 0.33f, 0.31f, 0.2f, 9, 13, 9, true) +
                             sphereObj(0.82f, 0.6f, 0.5f, 0.18f, 8, 11, 9 + 10 * 13, false);
    for (int votes : {1, 3}) {
        for (int n : {57, 200, 300}) {
            RuleRun parity(n, mesh, InsideRule::Parity, votes), nonzero(n, mesh, InsideRule::NonZero, votes);
            ASSERT_TRUE(parity.result.ok);
            ASSERT_TRUE(nonzero.result.ok) << nonzero.result.error.text();
            EXPECT_EQ(countDifferences(parity.f.volume, nonzero.f.volume, n), 0) << "N=" << n << " votes " << votes;
            auto at = [n](double t) { return static_cast<int>(t * n); };
            EXPECT_FALSE(nonzero.f.volume.filled(at(0.31), at(1 - 0.33), at(1 - 0.3)));  // the cavity is kept
            EXPECT_TRUE(nonzero.f.volume.filled(at(0.05), at(1 - 0.05), at(1 - 0.05)));
        }
    }
}

TEST(NonZeroRule, AGLWithoutStorageBuffersIsAnError) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(16, VoxelMode::Parity);
    f.settings.inside = InsideRule::NonZero;
    ASSERT_TRUE(f.load(boxAt(0, 0, 0, 1, 1, 1, 1)));
    f.engine.extensionLoader().glBindBufferBase = nullptr;
    const VoxelizeResult result = f.run();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.message.find("needs OpenGL 4.3"), std::string::npos) << result.error.text();
    EXPECT_EQ(f.volume.slicesReceived(), 0);
}

TEST(NonZeroRule, FlippedFacesAreReportedWhereTheyMatter) {
    KUBELMAR_REQUIRE_GL();
    // The box's +z side turned inside out: its crossings count -1 twice.
    std::string flipped = boxAt(0, 0, 0, 1, 1, 1, 1);
    const std::size_t last = flipped.rfind("f ");
    flipped.replace(last, std::string::npos, "f 2 6 8 4\n");
    for (InsideRule rule : {InsideRule::Parity, InsideRule::NonZero}) {
        RuleRun run(12, flipped, rule);
        ASSERT_TRUE(run.result.ok);
        EXPECT_EQ(run.f.engine.topology().flippedFaces, 2);
        EXPECT_EQ(run.f.engine.topology().inconsistentEdges, 4);
        if (rule == InsideRule::Parity) {
            EXPECT_TRUE(run.f.warnings.empty()) << run.f.warnings[0];
        } else {
            ASSERT_EQ(run.f.warnings.size(), 1u);
            EXPECT_EQ(run.f.warnings[0].message.rfind("2 faces point against their neighbours (4 edges", 0), 0u)
                << run.f.warnings[0];
        }
    }
    // The command line's report carries the rule and the counts.
    const auto dir = tempDir("flipped-report");
    const std::string mesh = writeFile(dir / "flipped.obj", flipped);
    const std::string command = std::string(KUBELMAR_CLI) + " --quiet --mode parity --inside nonzero -s 12 --report '" +
                                (dir / "r.json").string() + "' '" + mesh + "' '" + (dir / "out").string() +
                                "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(dir / "r.json");
    const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(report.find("\"inside\": \"nonzero\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"conservative\": false"), std::string::npos) << report;
    EXPECT_NE(report.find("\"mesh\": {\"faces\": 12, \"boundaryEdges\": 0, \"nonManifoldEdges\": 0, "
                          "\"inconsistentEdges\": 4, \"flippedFaces\": 2, \"shells\": 1, \"closedShells\": 1}"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("2 faces point against their neighbours"), std::string::npos) << report;
}

}  // namespace

}  // namespace kubelmar::test
