#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mesh/obj_reader.h"

namespace kubelmar {
namespace {

const char* const kNineVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\nv 0 2 0\nv 1 2 0\nv 2 2 0\n";

std::vector<int> faceIndices(const Mesh& mesh) {
    std::vector<int> out;
    for (const Face& f : mesh.faces) out.insert(out.end(), f.index, f.index + 3);
    return out;
}

// Parses `text` and expects success.
Mesh parsed(const std::string& text, ObjReadResult* result = nullptr) {
    Mesh mesh;
    const ObjReadResult r = parseOBJ(mesh, text, "test.obj");
    EXPECT_TRUE(r.ok) << r.error;
    if (result) *result = r;
    return mesh;
}

TEST(ObjReader, EveryFaceFormAndPolygonFans) {
    for (const char* face : {"f 1 2 3", "f 1/4/7 2/5/8 3/6/9", "f 1//7 2//8 3//9", "f 1/4/ 2/5/ 3/6/",
                             "f 1// 2// 3//", "f 1/4 2/5 3/6", "f\t1 2 3 # comment", "f 010 2 3"}) {
        const Mesh mesh = parsed(std::string(kNineVertices) + face + "\n");
        const int first = std::string(face) == "f 010 2 3" ? 7 : 0;  // %i: leading 0 is octal
        EXPECT_EQ(faceIndices(mesh), (std::vector<int>{first, 1, 2})) << face;
    }
    for (const char* polygon : {"f 1 2 3 4 5", "f 1/1/1 2/2/2 3/3/3 4/4/4 5/5/5", "f 1//1 2//1 3//1 4//1 5//1",
                                "f 1/1 2/1 3/1 4/1 5/1", "f 1/1/ 2/1/ 3/1/ 4/1/ 5/1/", "f 1// 2// 3// 4// 5//"}) {
        const Mesh mesh = parsed(std::string(kNineVertices) + polygon);
        EXPECT_EQ(faceIndices(mesh), (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 4})) << polygon;
    }
    // Malformed face lines are skipped without a warning.
    ObjReadResult r;
    const Mesh mesh = parsed(std::string(kNineVertices) + "f 1 2\nf a b c\nf 1 2 x\nf 0x2 +1 3\n", &r);
    EXPECT_EQ(faceIndices(mesh), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(r.skippedFaces, 0);
}

TEST(ObjReader, RelativeAndForwardVertexNumbers) {
    // -1 is the latest vertex read at that line; positive numbers may point ahead.
    const Mesh mesh = parsed("f 4 5 6\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf -3 -2 -1\nv 1 1 0\nf -1/2/3 -2/1/1 1/1/1\nv 2 0 0\nv 2 1 0\n");
    EXPECT_EQ(faceIndices(mesh), (std::vector<int>{3, 4, 5, 0, 1, 2, 3, 2, 0}));
}

TEST(ObjReader, BadVertexNumbersSkipTheFaceWithOneWarning) {
    ObjReadResult r;
    const Mesh mesh = parsed(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
        "f 1 2 3\n"          // line 4: good
        "f 1 2 3 7\n"        // 5: a polygon with one missing vertex goes whole
        "f 0 1 2\n"          // 6: vertex 0 does not exist
        "f -4 1 2\n"         // 7: relative, before the first vertex
        "f 99999999999 1 2\n"
        "v 1 1 0\n"
        "f 1 2 4\n"          // 10: good, after a dropped polygon
        "f 3 2 -1\n",        // 11: good
        &r);
    EXPECT_EQ(faceIndices(mesh), (std::vector<int>{0, 1, 2, 0, 1, 3, 2, 1, 3}));
    EXPECT_EQ(r.skippedFaces, 4);
    EXPECT_EQ(r.firstSkippedLine, 5);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].file, "test.obj");
    EXPECT_NE(r.warnings[0].message.find("4 faces"), std::string::npos);
    EXPECT_NE(r.warnings[0].message.find("line 5"), std::string::npos);
}

TEST(ObjReader, LineEndsAndLongLines) {
    const std::string padding(300, ' ');
    const Mesh mesh = parsed("v 1.000000000000000000000000000000000000000000000000000000000000000000000000000000001" +
                             padding + "2 3\r\nv 4 5 6\r\n# " + std::string(200, 'x') +
                             " v 7 8 9\nv 7 8 9\nf 1" + padding + "2 3");  // no final line break
    ASSERT_EQ(mesh.vertexCount, 3);
    EXPECT_TRUE(mesh.positions[0].x == 1 && mesh.positions[0].y == 2 && mesh.positions[1].z == 6);
    EXPECT_EQ(mesh.faceCount, 1);
}

TEST(ObjReader, NumberAndLineForms) {
    const Mesh mesh = parsed(
        "v  +1 -2e1 0x1p1\n"
        "v 1 2\n"      // too few numbers: skipped
        "vn 0 0 1\nvt 0.5 0.5\n# v 9 9 9\no thing\ng group\nusemtl m\n"
        "v 1 2 3 4\n");  // a weight is not a colour
    ASSERT_EQ(mesh.vertexCount, 2);
    EXPECT_TRUE(mesh.positions[0].x == 1 && mesh.positions[0].y == -20 && mesh.positions[0].z == 2);
    EXPECT_EQ(mesh.colors[1].a, 1.0f);

    EXPECT_EQ(parsed("").vertexCount, 0);
    EXPECT_EQ(parsed("# nothing\n\n").vertexCount, 0);
}

TEST(ObjReader, VertexColours) {
    using Floats = std::vector<float>;
    auto rgba = [](const Rgba& c) { return Floats{c.r, c.g, c.b, c.a}; };
    // "vc" lines: alpha 0; vertices past the last one stay opaque white.
    Mesh mesh = parsed("v 0 0 0\nv 1 0 0\nvc 1 0 0\n");
    EXPECT_EQ(rgba(mesh.colors[0]), (Floats{1, 0, 0, 0}));
    EXPECT_EQ(rgba(mesh.colors[1]), (Floats{1, 1, 1, 1}));
    // Colours on the v lines, mixed with uncoloured vertices.
    mesh = parsed("v 0 0 0\nv 1 0 0 0 0.5 1\nv 2 0 0\n");
    EXPECT_EQ(rgba(mesh.colors[0]), (Floats{1, 1, 1, 1}));
    EXPECT_EQ(rgba(mesh.colors[1]), (Floats{0, 0.5f, 1, 0}));
    EXPECT_EQ(rgba(mesh.colors[2]), (Floats{1, 1, 1, 1}));
    // "vc" lines, where present, win over v-line colours.
    EXPECT_EQ(rgba(parsed("v 0 0 0 0 1 0\nvc 0 0 1\n").colors[0]), (Floats{0, 0, 1, 0}));
}

TEST(ObjReader, NonFiniteNumbersFailTheLoadNamingTheLine) {
    for (const char* bad : {"v 1 nan 3\n", "v inf 0 0\n", "v 1e39 0 0\n", "vc 1 -inf 0\n", "v 0 0 0 1 nan 0\n"}) {
        Mesh mesh;
        const ObjReadResult r = parseOBJ(mesh, std::string("v 0 0 0\n") + bad + "f 1 1 2\n", "bad.obj");
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.error.file, "bad.obj");
        EXPECT_EQ(r.error.line, 2) << r.error;
        EXPECT_EQ(mesh.vertexCount, 0) << bad;
    }
    EXPECT_EQ(parsed("v 1e-50 0 0\n").positions[0].x, 0.0f);  // underflow is just zero
}

TEST(ObjReader, ReportsFilesItCannotOpenWithoutExiting) {
    Mesh mesh;
    ObjReadResult r;
    for (const std::string& path : {std::string("/nonexistent/kubelmar/missing.obj"), std::string(KUBELMAR_SAMPLES_DIR)}) {
        r = readOBJ(mesh, path);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.log.size(), 1u);
        EXPECT_EQ(r.log[0].stream, LoadLogLine::Err);
        EXPECT_EQ(r.log[0].text, "ERROR: Opening File: " + path);
        EXPECT_EQ(r.error.file, path);
    }
    EXPECT_NE(r.error.message.find("directory"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace kubelmar
