// Files built to attack the readers: references leading out of the mesh's
// folder, counts larger than the file, archives that inflate without end.
// Each ends in one error line (or a warning and a mesh), quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "mesh/mesh_loader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_images.h"

namespace kubelmar {
namespace {

template <typename T>
void append(std::string& s, T value) {
    s.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// One triangle's positions (36 bytes) as a glTF buffer.
std::string trianglePositions() {
    std::string bin;
    for (const float v : {0.f, 0.f, 0.f, 4.f, 0.f, 0.f, 0.f, 2.f, 0.f}) append(bin, v);
    return bin;
}

// A glTF of one triangle whose buffer is the file `bufferUri`.
std::string gltfWithBuffer(const std::string& bufferUri, const std::string& extra = "") {
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[4,2,0]}],)"
           R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36}],)" +
           extra + R"("buffers":[{"byteLength":36,"uri":")" + bufferUri + R"("}]})";
}

TEST(HostileFiles, GltfBuffersOutsideTheFolderAreNotRead) {
    test::TempDir dir;
    dir.write("pos.bin", trianglePositions());
    dir.write("models/pos.bin", trianglePositions());
    for (const std::string uri : {"/etc/passwd", "../../../../../../etc/passwd", "../pos.bin", "file:///etc/passwd",
                                  "models/../../pos.bin"}) {
        const std::string path = dir.write("models/t.gltf", gltfWithBuffer(uri));
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(path, mesh);
        EXPECT_FALSE(r.ok) << uri;
        ASSERT_NE(r.error(), nullptr) << uri;
        EXPECT_EQ(r.error()->file, path);
        EXPECT_EQ(r.errorText().find('\n'), std::string::npos);
        const auto warnings = r.warningTexts();
        ASSERT_EQ(warnings.size(), 1u) << uri << ": " << r.errorText();
        EXPECT_NE(warnings[0].find("reference '"), std::string::npos) << warnings[0];
        EXPECT_TRUE(warnings[0].find("outside the mesh's folder") != std::string::npos ||
                    warnings[0].find("is a URI (file:)") != std::string::npos)
            << warnings[0];
        EXPECT_NE(r.errorText().find("cannot read mesh without the reference refused above"), std::string::npos)
            << r.errorText();
    }
    // The buffer beside the mesh, and the one above it once the root allows.
    Mesh mesh;
    EXPECT_TRUE(loadPreparedMesh(dir.write("models/ok.gltf", gltfWithBuffer("pos.bin")), mesh).ok);
    LoadLimits wider;
    wider.referenceRoot = dir.path().string();
    const MeshLoadResult r = loadPreparedMesh(dir.write("models/up.gltf", gltfWithBuffer("../pos.bin")), mesh, wider);
    EXPECT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.faceCount, 1);
}

TEST(HostileFiles, TexturesOutsideTheFolderFallBackAsMissing) {
    test::TempDir dir;
    const std::string png = test::writeTestPng(dir.file("tex.png"), 2, 1, test::cellImage(2, 1, 1, {0xFF0000FF, 0x0000FFFF}));
    dir.write("models/pos.bin", trianglePositions());
    const std::string gltf = dir.write(
        "models/t.gltf", gltfWithBuffer("pos.bin", R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
                                                   R"("textures":[{"source":0}],"images":[{"uri":"../tex.png"}],)"));
    // The primitive has no material index above; give it one.
    std::string text = gltfWithBuffer("pos.bin", R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
                                                 R"("textures":[{"source":0}],"images":[{"uri":"../tex.png"}],)");
    text.replace(text.find(R"({"POSITION":0})"), 14, R"({"POSITION":0},"material":0)");
    Mesh mesh;
    MeshLoadResult r = loadPreparedMesh(dir.write("models/t.gltf", text), mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    ASSERT_EQ(r.warningTexts().size(), 1u);
    EXPECT_NE(r.warningTexts()[0].find("texture '../tex.png' is outside the mesh's folder"), std::string::npos)
        << r.warningTexts()[0];
    EXPECT_TRUE(mesh.textures.empty());

    // OBJ: a material library above the folder and a texture by absolute path.
    dir.write("outside.mtl", "newmtl red\nKd 1 0 0\n");
    dir.write("models/in.mtl", "newmtl skin\nmap_Kd " + png + "\n");
    const std::string obj = dir.write("models/t.obj", "mtllib ../outside.mtl\nmtllib in.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                                      "vt 0 0\nvt 1 0\nvt 0 1\nusemtl skin\nf 1/1 2/2 3/3\n");
    r = loadPreparedMesh(obj, mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    const auto warnings = r.warningTexts();
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].rfind(obj + ":1: material library '../outside.mtl' is outside the mesh's folder (", 0), 0u)
        << warnings[0];
    EXPECT_EQ(warnings[1].rfind(dir.file("models/in.mtl") + ":2: texture '" + png + "' is an absolute path", 0), 0u)
        << warnings[1];
    EXPECT_TRUE(mesh.textures.empty());
    LoadLimits any;
    any.anyReference = true;
    r = loadPreparedMesh(obj, mesh, any);
    EXPECT_TRUE(r.warningTexts().empty());
    EXPECT_EQ(mesh.textures.size(), 1u);
}

std::string plyHeader(const std::string& format, const std::string& vertices) {
    return "ply\nformat " + format + " 1.0\nelement vertex " + vertices +
           "\nproperty float x\nproperty float y\nproperty float z\nelement face 1\n"
           "property list uchar int vertex_indices\nend_header\n";
}

TEST(HostileFiles, PlyCountsFailAtOnceWithTheirReason) {
    test::TempDir dir;
    std::string small = plyHeader("binary_little_endian", "1000000000");
    const std::size_t after = 230 - small.size();
    small.resize(230, '\0');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {small, "declares 1000000000 vertices of at least 12 bytes each, more than the " + std::to_string(after) +
                    " bytes after the header hold"},
        {plyHeader("binary_little_endian", "1099511627776"),
         "declares 1099511627776 vertices, more than the 2147483647 a mesh can hold"},
        {plyHeader("ascii", "4294967297") + "0 0 0\n", "declares 4294967297 vertices, more than the 2147483647 a mesh can hold"},
    };
    for (const bool isolate : {true, false}) {
        LoadLimits limits;
        limits.isolateThirdPartyReaders = isolate;
        for (const auto& [bytes, reason] : cases) {
            const std::string path = dir.write("t.ply", bytes);
            const auto start = std::chrono::steady_clock::now();
            Mesh mesh;
            const MeshLoadResult r = loadPreparedMesh(path, mesh, limits);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.errorText(), path + ": cannot read mesh: " + reason);
            EXPECT_TRUE(r.warningTexts().empty());
        }
    }
}

// A zip archive with one deflated entry that its directory says inflates
// from `compressed` to `inflated` bytes; nothing is actually compressed.
std::string zipDeclaring(std::uint32_t compressed, std::uint32_t inflated) {
    const std::string name = "3D/3dmodel.model";
    std::string zip, central;
    append<std::uint32_t>(zip, 0x04034b50);
    for (const std::uint16_t v : {20, 0, 8, 0, 0}) append(zip, v);
    for (const std::uint32_t v : {0u, compressed, inflated}) append(zip, v);
    append<std::uint16_t>(zip, static_cast<std::uint16_t>(name.size()));
    append<std::uint16_t>(zip, 0);
    zip += name + std::string(64, '\0');
    append<std::uint32_t>(central, 0x02014b50);
    for (const std::uint16_t v : {20, 20, 0, 8, 0, 0}) append(central, v);
    for (const std::uint32_t v : {0u, compressed, inflated}) append(central, v);
    append<std::uint16_t>(central, static_cast<std::uint16_t>(name.size()));
    for (int i = 0; i < 4; ++i) append<std::uint16_t>(central, 0);
    append<std::uint32_t>(central, 0);
    append<std::uint32_t>(central, 0);
    central += name;
    const auto offset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    append<std::uint32_t>(zip, 0x06054b50);
    for (const std::uint16_t v : {0, 0, 1, 1}) append(zip, v);
    append<std::uint32_t>(zip, static_cast<std::uint32_t>(central.size()));
    append<std::uint32_t>(zip, offset);
    append<std::uint16_t>(zip, 0);
    return zip;
}

TEST(HostileFiles, ArchivesThatInflateTooFarAreRefused) {
    test::TempDir dir;
    for (const auto& [compressed, inflated] : {std::pair{3'100'000u, 3'200'000'000u}, std::pair{1'000'000u, 1'000'000'000u}}) {
        const std::string path = dir.write("bomb.3mf", zipDeclaring(compressed, inflated));
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(path, mesh);
        EXPECT_EQ(r.errorText(), path + ": cannot read mesh: archive entry '3D/3dmodel.model' inflates from " +
                                     std::to_string(compressed) + " to " + std::to_string(inflated) +
                                     " bytes, more than 100 times its size (a decompression bomb)");
    }
    // Within the ratio but over a small budget.
    const std::string path = dir.write("big.3mf", zipDeclaring(10'000'000, 200'000'000));
    LoadLimits small;
    small.maxMemoryBytes = std::uint64_t{256} << 20;
    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(path, mesh, small);
    EXPECT_NE(r.errorText().find("the archive inflates to 200000000 bytes"), std::string::npos) << r.errorText();
    EXPECT_NE(r.errorText().find("more than the limit of 256 MiB (--max-memory)"), std::string::npos) << r.errorText();
}

// OBJ has no counts to check up front; its polygons are cut into triangles
// as they are read, and the load stops at the memory limit.
TEST(HostileFiles, ObjPolygonsAndFilesBeyondTheMemoryLimitAreRefused) {
    test::TempDir dir;
    std::string polygon = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf";
    for (int c = 0; c < 20000; ++c) polygon += c % 2 ? " 2" : " 3";  // about 40 KB: 20,000 triangles
    polygon += "\n";
    const std::string path = dir.write("fan.obj", polygon);
    LoadLimits limits;
    limits.maxMemoryBytes = std::uint64_t{1} << 20;  // 1 MiB: some 10,000 triangles
    Mesh mesh;
    MeshLoadResult r = loadPreparedMesh(path, mesh, limits);
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.error()->line, 4);
    EXPECT_NE(r.error()->message.find("more than 10922 triangles, more than the memory limit of 1 MiB allows (--max-memory)"), std::string::npos)
        << r.errorText();
    limits.maxMemoryBytes = std::uint64_t{4} << 20;
    EXPECT_TRUE(loadPreparedMesh(path, mesh, limits).ok);

    limits.maxMemoryBytes = 16 << 10;  // smaller than the file itself
    r = loadPreparedMesh(path, mesh, limits);
    ASSERT_FALSE(r.ok);
    EXPECT_NE(r.errorText().find(" bytes, more than the memory limit of 16 KiB (--max-memory)"), std::string::npos)
        << r.errorText();
}

// A file whose name and content disagree never reaches the importer, which
// chooses its reader by content too.
TEST(HostileFiles, GltfAnd3mfFilesMustBeWhatTheyAreNamed) {
    test::TempDir dir;
    Mesh mesh;
    MeshLoadResult r = loadPreparedMesh(dir.write("zip.gltf", std::string("PK\x03\x04", 4) + "rest"), mesh);
    EXPECT_EQ(r.errorText(), dir.file("zip.gltf") + ": cannot read mesh: not a glTF file: neither a JSON object nor "
                                                    "the binary glTF header");
    r = loadPreparedMesh(dir.write("text.3mf", "solid x\nendsolid x\n"), mesh);
    EXPECT_EQ(r.errorText(), dir.file("text.3mf") + ": cannot read mesh: not a 3MF file: not a zip archive");
    // JSON after a byte-order mark and blanks is still glTF.
    r = loadPreparedMesh(dir.write("bom.gltf", "\xEF\xBB\xBF \n" + gltfWithBuffer("missing.bin")), mesh);
    EXPECT_EQ(r.errorText().find("not a glTF file"), std::string::npos) << r.errorText();
}

}  // namespace
}  // namespace kubelmar
