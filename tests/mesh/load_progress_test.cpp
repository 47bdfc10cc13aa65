// Load progress: what a front end hears while a mesh file is read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh_loader.h"
#include "tests/support/temp_dir.h"

namespace kubelmar {
namespace {

using Report = std::pair<std::uint64_t, std::uint64_t>;  // done, total

// A grid of quads as OBJ text, at least `bytes` long.
std::string bigObj(std::size_t bytes) {
    std::string text;
    int rows = 0;
    for (; text.size() < bytes; ++rows)
        for (int c = 0; c < 100; ++c)
            text += "v " + std::to_string(c * 0.01) + " " + std::to_string(rows * 0.01) + " 0.125\n";
    for (int r = 0; r + 1 < rows; ++r)
        for (int c = 0; c + 1 < 100; ++c) {
            const int a = r * 100 + c + 1;
            text += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + 101) + " " +
                    std::to_string(a + 100) + "\n";
        }
    return text;
}

std::vector<Report> load(const std::string& path, bool* ok = nullptr) {
    std::vector<Report> reports;
    Mesh mesh;
    LoadLimits limits;
    limits.isolateThirdPartyReaders = false;  // the same reports either way; no child needed
    const MeshLoadResult result = loadPreparedMesh(path, mesh, ObjReaderChoice::Own, limits,
                                                   [&](std::uint64_t done, std::uint64_t total) {
                                                       reports.push_back({done, total});
                                                   });
    if (ok) *ok = result.ok;
    return reports;
}

TEST(LoadProgress, CountsTheFilesBytesFromNoneToAllInSteps) {
    test::TempDir dir;
    // With a byte-order mark: the bytes counted are the file's, mark and all.
    const std::string text = "\xEF\xBB\xBF" + bigObj(3u << 20);
    const std::string path = dir.write("grid.obj", text);
    bool ok = false;
    const std::vector<Report> reports = load(path, &ok);
    ASSERT_TRUE(ok);
    ASSERT_GE(reports.size(), 4u);  // start, at least two steps through 3 MiB of text, end
    EXPECT_EQ(reports.front(), Report(0, text.size()));
    EXPECT_EQ(reports.back(), Report(text.size(), text.size()));
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, text.size());
        EXPECT_GT(reports[i].first, reports[i - 1].first) << "report " << i;
    }
}

TEST(LoadProgress, AFailedLoadNeverReportsTheEnd) {
    test::TempDir dir;
    // Every vertex in one place: read whole, then refused for having no extent.
    std::string text;
    while (text.size() < (2u << 20)) text += "v 1 2 3\n";
    text += "f 1 2 3\n";
    bool ok = true;
    const std::vector<Report> reports = load(dir.write("point.obj", text), &ok);
    EXPECT_FALSE(ok);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), Report(0, text.size()));
    for (const Report& r : reports) EXPECT_LT(r.first, text.size());

    // A file that isn't there: the start (of nothing) and no more.
    EXPECT_EQ(load(dir.file("missing.obj"), &ok), std::vector<Report>({{0, 0}}));
    EXPECT_FALSE(ok);
}

TEST(LoadProgress, OtherFormatsReportTheStartAndTheEnd) {
    test::TempDir dir;
    const std::string stl =
        "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
        "endsolid t\n";
    bool ok = false;
    const std::vector<Report> reports = load(dir.write("t.stl", stl), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(reports, std::vector<Report>({{0, stl.size()}, {stl.size(), stl.size()}}));
}

}  // namespace
}  // namespace kubelmar
