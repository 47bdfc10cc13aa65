#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "base/sanitizer.h"
#include "mesh/isolated_read.h"
#include "mesh/mesh_wire.h"

namespace kubelmar {
namespace {

LoadLimits quickLimits() {
    LoadLimits limits;
    limits.maxMemoryBytes = std::uint64_t{256} << 20;
    limits.maxReadSeconds = 2;
    return limits;
}

// A triangle with a textured material, and a warning and a log line.
ObjReadResult texturedTriangle(Mesh& mesh) {
    mesh.build({Float3{0, 0, 0}, Float3{4, 0, 0}, Float3{0, 2, 1}}, {}, {}, {}, {0, 1, 2});
    mesh.colors = {Rgba{1, 0, 0, 0.5f}, Rgba{1, 1, 1, 1}, Rgba{1, 1, 1, 1}};
    mesh.vertexMaterial = {0, 0, -1};
    mesh.vertexTexture = {0, 0, -1};
    mesh.texCoords = {{0.25f, 0.5f}, {1, 1}, {0, 0}};
    Material m;
    m.name = "skin";
    m.hasDiffuse = true;
    m.diffuse[1] = 0.5f;
    m.texture = 0;
    m.clampTexture = true;
    mesh.materials = {m};
    mesh.textures = {Texture{"t.png", 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}}};
    ObjReadResult result;
    result.ok = true;
    result.warnings.push_back(warningAbout("m.ply", "texture 't.png' is not a regular file", 3));
    result.log.push_back({LoadLogLine::Out, "Opening: m.ply"});
    return result;
}

TEST(IsolatedRead, MeshAndDiagnosticsComeBackWhole) {
    Mesh expected;
    const ObjReadResult direct = texturedTriangle(expected);
    Mesh mesh;
    const ObjReadResult r = readIsolated(mesh, "m.ply", quickLimits(), texturedTriangle);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].text(), direct.warnings[0].text());
    EXPECT_EQ(r.warnings[0].severity, Diagnostic::Severity::Warning);
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_EQ(r.log[0].text, "Opening: m.ply");
    ASSERT_EQ(mesh.vertexCount, 3);
    ASSERT_EQ(mesh.faceCount, 1);
    EXPECT_EQ(mesh.positions[2].z, 1.0f);
    EXPECT_EQ(mesh.colors[0].a, 0.5f);
    EXPECT_EQ(mesh.faces[0].index[2], 2);
    EXPECT_EQ(mesh.vertexTexture, expected.vertexTexture);
    EXPECT_EQ(mesh.texCoords, expected.texCoords);
    ASSERT_EQ(mesh.materials.size(), 1u);
    EXPECT_EQ(mesh.materials[0].name, "skin");
    EXPECT_TRUE(mesh.materials[0].clampTexture);
    EXPECT_EQ(mesh.materials[0].diffuse[1], 0.5f);
    ASSERT_EQ(mesh.textures.size(), 1u);
    EXPECT_EQ(mesh.textures[0].rgba, expected.textures[0].rgba);
}

TEST(IsolatedRead, FailuresInTheChildBecomeOneError) {
    const LoadLimits limits = quickLimits();
    struct Case {
        const char* what;
        MeshReadFunction read;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"abort", [](Mesh&) -> ObjReadResult { std::abort(); }, "cannot read mesh: the reader stopped with signal 6 (Aborted)"},
        {"segfault", [](Mesh&) -> ObjReadResult { std::raise(SIGSEGV); return {}; },
         "cannot read mesh: the reader stopped with signal 11 (Segmentation fault)"},
        {"hang", [](Mesh&) -> ObjReadResult { for (;;) pause(); },
         "cannot read mesh: the reader took more than 2 seconds and was stopped"},
        {"exit", [](Mesh&) -> ObjReadResult { std::exit(7); }, "cannot read mesh: the reader stopped with exit status 7"},
        {"memory",
         [](Mesh&) -> ObjReadResult {
             std::vector<char> huge(std::size_t{1} << 30, 1);  // 1 GiB under a 256 MiB limit
             return {};
         },
         "cannot read mesh: the reader ran out of its memory limit of 256 MiB (--max-memory)"},
    };
    for (const Case& c : cases) {
#if defined(KUBELMAR_ASAN)
        // No address-space limit under the sanitizer, and it reports a
        // segmentation fault as exit status 1.
        if (std::string(c.what) == "memory" || std::string(c.what) == "segfault") continue;
#endif
        Mesh mesh;
        mesh.vertexCount = 42;
        const ObjReadResult r = readIsolated(mesh, "bad.3mf", limits, c.read);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.error.text(), std::string("bad.3mf: ") + c.message) << c.what;
        EXPECT_EQ(mesh.vertexCount, 42) << c.what << ": the caller's mesh is left as it was";
    }
}

TEST(MeshWire, TruncatedOrInconsistentRepliesAreRejected) {
    Mesh mesh;
    const std::string bytes = encodeReadResult(texturedTriangle(mesh), mesh);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
        Mesh m;
        ObjReadResult r;
        EXPECT_FALSE(decodeReadResult(std::string_view(bytes).substr(0, cut), r, m)) << cut;
    }
    // A face naming a vertex past the end.
    mesh.faces[0].index[1] = 3;
    Mesh m;
    ObjReadResult r;
    EXPECT_FALSE(decodeReadResult(encodeReadResult(texturedTriangle(m), mesh), r, m));
    mesh.faces[0].index[1] = 1;
    EXPECT_TRUE(decodeReadResult(encodeReadResult(texturedTriangle(m), mesh), r, m));
}

}  // namespace
}  // namespace kubelmar
