// Stacks pinned by decoded-pixel hashes: every (mesh, mode, size) case below
// was recorded from the command line before the engine was made streaming,
// and each run must still give the same pixels and the same voxelscale.txt.
//
// Recording (only when the output is meant to change; lines are appended
// to FILE, which then replaces fixtures/stack_hashes.txt after its header):
//   KUBELMAR_RECORD_FIXTURES=FILE [KUBELMAR_FIXTURE_CLI=PATH] kubelmar_engine_tests
//       --gtest_filter='*Regression*'

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/support/gl_test_support.h"
#include "formats/png_io.h"

namespace kubelmar::test {
namespace {

// An L of two boxes with a colour per vertex: no mirror or axis swap maps it
// onto itself, and colours show which surface a voxel was taken from.
std::string colouredL() {
    std::string obj = boxObj(0, 0, 0, 3, 1, 1) + boxObj(0, 1, 0, 1, 2.5f, 1.6f);
    std::istringstream in(obj);
    std::string out, line;
    int vertex = 0, faceBase = 0;
    while (std::getline(in, line)) {
        if (line[0] == 'v') {
            const int i = vertex++;
            out += line + " " + std::to_string(0.2 + 0.1 * (i % 8)) + " " + std::to_string(1.0 - 0.05 * i) +
                   " " + std::to_string(0.3 + 0.04 * (i % 5)) + "\n";
            continue;
        }
        // The second box's faces count from its own first vertex.
        std::istringstream corners(line.substr(2));
        out += "f";
        faceBase = vertex > 8 ? 8 : 0;
        for (int v; corners >> v;) {
            out += ' ';
            out += std::to_string(v + faceBase);
        }
        out += "\n";
    }
    return out;
}

// A tilted tetrahedron away from every symmetry plane.
std::string tiltedTetrahedron() {
    return "v 0.1 0.2 0.05\nv 2.3 0.4 0.6\nv 0.7 1.9 0.3\nv 0.9 0.8 2.6\n"
           "vc 1 0.2 0.1\nvc 0.1 0.9 0.2\nvc 0.2 0.3 1\nvc 0.9 0.9 0.4\n"
           "f 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\n";
}

// A box with a spherical cavity off its centre.
std::string boxWithCavity() {
    return boxObj(0, 0, 0, 2, 1.5f, 1.2f) + sphereObj(1.3f, 0.6f, 0.5f, 0.35f, 10, 14, 9, true);
}

struct Case {
    std::string mesh;
    std::string mode;
    int size;
};

std::string meshText(const std::string& name) {
    if (name == "L") return colouredL();
    if (name == "tetra") return tiltedTetrahedron();
    if (name == "cavity") return boxWithCavity();
    std::ifstream in(std::string(KUBELMAR_SAMPLES_DIR) + "/" + name + ".obj", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Case> cases() {
    std::vector<Case> list;
    for (const char* mode : {"clipping", "depth"}) {
        for (int n : {64, 128, 256, 512}) list.push_back({"bunny", mode, n});
        list.push_back({"teapot", mode, 128});
        for (int n : {64, 256}) list.push_back({"L", mode, n});
        list.push_back({"tetra", mode, 128});
        list.push_back({"cavity", mode, 128});
        list.push_back({"bunny", mode, 1024});
    }
    return list;
}

std::string key(const Case& c) { return c.mesh + " " + c.mode + " " + std::to_string(c.size); }

// How GoogleTest names a case in its output.
void PrintTo(const Case& c, std::ostream* out) { *out << key(c); }

// FNV-1a over the decoded RGBA of every slice in order, and the slice count.
std::string stackHash(const std::filesystem::path& dir, int n) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&](std::uint8_t b) { h = (h ^ b) * 1099511628211ull; };
    for (int s = 0;; ++s) {
        const auto path = dir / ("slice" + std::to_string(100000 + s) + ".png");
        if (!std::filesystem::exists(path)) {
            if (s != n) return "slices:" + std::to_string(s);
            break;
        }
        int w = 0, height = 0;
        std::vector<std::uint8_t> rgba;
        std::string error;
        if (!readPngRGBA(path.string(), w, height, rgba, &error) || w != n || height != n)
            return "bad-slice:" + std::to_string(s);
        for (std::uint8_t b : rgba) mix(b);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string scaleText(const std::filesystem::path& dir) {
    std::ifstream in(dir / "voxelscale.txt");
    if (!in) return "-";
    std::string all, line;
    while (std::getline(in, line)) all += (all.empty() ? "" : ",") + line;
    for (char& ch : all) if (ch == ' ') ch = '_';
    return all;
}

std::map<std::string, std::string> recorded() {
    std::map<std::string, std::string> table;
    std::ifstream in(KUBELMAR_FIXTURES_DIR "/stack_hashes.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string mesh, mode, size, hash, scale;
        fields >> mesh >> mode >> size >> hash >> scale;
        table[mesh + " " + mode + " " + size] = hash + " " + scale;
    }
    return table;
}

// Each case is a test of its own so that ctest can run them side by side.
class Regression : public testing::TestWithParam<Case> {};

TEST_P(Regression, StackKeepsItsRecordedPixels) {
    KUBELMAR_REQUIRE_GL();
    const Case& c = GetParam();
    const char* recordTo = std::getenv("KUBELMAR_RECORD_FIXTURES");
    const char* cliOverride = std::getenv("KUBELMAR_FIXTURE_CLI");
    const std::string cli = cliOverride ? cliOverride : KUBELMAR_CLI;
    const auto dir = tempDir("regression");
    const std::string mesh = writeFile(dir / (c.mesh + ".obj"), meshText(c.mesh));
    const auto out = dir / "out";
    std::filesystem::create_directories(out);
    // Run from the scratch folder so that no depth pictures are written.
    const std::string command = "cd '" + dir.string() + "' && '" + cli + "' --quiet --mode " + c.mode +
                                " --size " + std::to_string(c.size) + " '" + mesh + "' '" + out.string() +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << key(c);
    const std::string got = stackHash(out, c.size) + " " + scaleText(out);
    std::filesystem::remove_all(out);
    if (recordTo) {
        std::ofstream(recordTo, std::ios::app) << key(c) << " " << got << "\n";
        return;
    }
    const auto table = recorded();
    const auto it = table.find(key(c));
    ASSERT_NE(it, table.end()) << "no fixture for " << key(c);
    EXPECT_EQ(got, it->second) << key(c);
}

INSTANTIATE_TEST_SUITE_P(Stacks, Regression, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             return info.param.mesh + "_" + info.param.mode + "_" + std::to_string(info.param.size);
                         });

}  // namespace
}  // namespace kubelmar::test
