#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/colour_source.h"
#include "mesh/mesh_loader.h"
#include "tests/support/test_images.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("kubelmar_formats_" + std::to_string(getpid()) + "_" + std::to_string(counter_++))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return file(name);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

// An asymmetric solid (file units): a tetrahedron with legs 4, 2 and 1 along
// x, y and z, faces wound outward, one colour per corner.
const float kCorners[4][3] = {{0, 0, 0}, {4, 0, 0}, {0, 2, 0}, {0, 0, 1}};
const int kFaces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
const int kRgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 51}};

std::string objWithColours() {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        s += "v " + std::to_string(kCorners[i][0]) + " " + std::to_string(kCorners[i][1]) + " " + std::to_string(kCorners[i][2]) + "\n";
        s += "vc " + std::to_string(kRgb[i][0] / 255.0) + " " + std::to_string(kRgb[i][1] / 255.0) + " " + std::to_string(kRgb[i][2] / 255.0) + "\n";
    }
    for (const auto& f : kFaces) s += "f " + std::to_string(f[0] + 1) + " " + std::to_string(f[1] + 1) + " " + std::to_string(f[2] + 1) + "\n";
    return s;
}

std::string plyWithColours() {
    std::string s = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
                    "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face 4\n"
                    "property list uchar int vertex_indices\nend_header\n";
    for (int i = 0; i < 4; ++i)
        s += std::to_string(kCorners[i][0]) + " " + std::to_string(kCorners[i][1]) + " " + std::to_string(kCorners[i][2]) + " " +
             std::to_string(kRgb[i][0]) + " " + std::to_string(kRgb[i][1]) + " " + std::to_string(kRgb[i][2]) + "\n";
    for (const auto& f : kFaces) s += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + "\n";
    return s;
}

std::string asciiStl() {
    std::string s = "solid t\n";
    for (const auto& f : kFaces) {
        s += "facet normal 0 0 0\nouter loop\n";
        for (const int c : f)
            s += "vertex " + std::to_string(kCorners[c][0]) + " " + std::to_string(kCorners[c][1]) + " " + std::to_string(kCorners[c][2]) + "\n";
        s += "endloop\nendfacet\n";
    }
    return s + "endsolid t\n";
}

template <typename T>
void append(std::string& s, T value) {
    s.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string binaryStl() {
    std::string s(80, ' ');
    append<std::uint32_t>(s, 4);
    for (const auto& f : kFaces) {
        for (int i = 0; i < 3; ++i) append<float>(s, 0.0f);
        for (const int c : f)
            for (int a = 0; a < 3; ++a) append<float>(s, kCorners[c][a]);
        append<std::uint16_t>(s, 0);
    }
    return s;
}

std::string base64(const std::string& in) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        const std::uint32_t b = (static_cast<std::uint8_t>(in[i]) << 16) |
                                (i + 1 < in.size() ? static_cast<std::uint8_t>(in[i + 1]) << 8 : 0) |
                                (i + 2 < in.size() ? static_cast<std::uint8_t>(in[i + 2]) : 0);
        out += k[(b >> 18) & 63];
        out += k[(b >> 12) & 63];
        out += i + 1 < in.size() ? k[(b >> 6) & 63] : '=';
        out += i + 2 < in.size() ? k[b & 63] : '=';
    }
    return out;
}

// glTF of the tetrahedron: positions, indices, and either COLOR_0 (float
// RGBA) or texture coordinates with a base colour texture; the buffer as a
// data URI. `image` is a uri, or empty for a bufferView image (GLB only).
std::string gltfJson(bool colours, const std::string& material, std::string& bin, std::size_t imageBytes = 0) {
    bin.clear();
    for (const auto& c : kCorners)
        for (const float v : c) append<float>(bin, v);
    const std::size_t indexOffset = bin.size();
    for (const auto& f : kFaces)
        for (const int c : f) append<std::uint16_t>(bin, static_cast<std::uint16_t>(c));
    bin.resize((bin.size() + 3) / 4 * 4, '\0');
    const std::size_t extraOffset = bin.size();
    for (int i = 0; i < 4; ++i) {
        if (colours) {
            for (int a = 0; a < 3; ++a) append<float>(bin, kRgb[i][a] / 255.0f);
            append<float>(bin, 1.0f);
        } else {
            append<float>(bin, i == 1 ? 0.9f : 0.1f);  // u: corner 1 in the right half
            append<float>(bin, 0.1f);                   // v, glTF: from the image's top
        }
    }
    const std::size_t imageOffset = bin.size();
    std::string j = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)";
    j += R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,")" + std::string(colours ? "COLOR_0" : "TEXCOORD_0") +
         R"(":2},"indices":1,"material":0}]}],)";
    j += R"("accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[0,0,0],"max":[4,2,1]},)";
    j += R"({"bufferView":1,"componentType":5123,"count":12,"type":"SCALAR"},)";
    j += R"({"bufferView":2,"componentType":5126,"count":4,"type":")" + std::string(colours ? "VEC4" : "VEC2") + R"("}],)";
    j += R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":)" +
         std::to_string(indexOffset) + R"(,"byteLength":24},{"buffer":0,"byteOffset":)" + std::to_string(extraOffset) +
         R"(,"byteLength":)" + std::to_string(imageOffset - extraOffset) + "}";
    if (imageBytes) j += R"(,{"buffer":0,"byteOffset":)" + std::to_string(imageOffset) + R"(,"byteLength":)" + std::to_string(imageBytes) + "}";
    j += "],";
    j += R"("materials":[)" + material + "],";
    return j;
}

TEST(OtherFormats, PlyColoursEqualTheSameMeshAsObj) {
    TempDir dir;
    Mesh obj, ply;
    ASSERT_TRUE(loadPreparedMesh(dir.write("t.obj", objWithColours()), obj).ok);
    const MeshLoadResult r = loadPreparedMesh(dir.write("t.ply", plyWithColours()), ply);
    ASSERT_TRUE(r.ok) << r.errorText();
    ASSERT_EQ(ply.faceCount, obj.faceCount);
    EXPECT_EQ(r.meshExtent, 4.0f);
    EXPECT_EQ(r.fileBoxHigh, (std::array<double, 3>{4, 2, 1}));
    EXPECT_EQ(r.log.front().text, "Opening: " + dir.file("t.ply"));
    // Corner by corner: the same place and the same colour (to a byte).
    for (int f = 0; f < obj.faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const auto a = static_cast<std::size_t>(obj.faces[f].index[k]);
            const auto b = static_cast<std::size_t>(ply.faces[f].index[k]);
            EXPECT_EQ(ply.positions[b].x, obj.positions[a].x) << f << k;
            EXPECT_EQ(ply.positions[b].y, obj.positions[a].y) << f << k;
            const Rgba ca = vertexColourFor(obj, a, ColourSource::Auto), cb = vertexColourFor(ply, b, ColourSource::Auto);
            EXPECT_NEAR(cb.r, ca.r, 0.5 / 255);
            EXPECT_NEAR(cb.g, ca.g, 0.5 / 255);
            EXPECT_NEAR(cb.b, ca.b, 0.5 / 255);
        }
    }
    EXPECT_TRUE(ply.vertexMaterial.empty());  // no made-up grey material
}

TEST(OtherFormats, StlOffAndGltfColoursFrameLikeObj) {
    TempDir dir;
    Mesh obj;
    ASSERT_TRUE(loadPreparedMesh(dir.write("t.obj", objWithColours()), obj).ok);
    std::string bin;
    std::string gltf = gltfJson(true, R"({"pbrMetallicRoughness":{"baseColorFactor":[1,1,1,1]}})", bin);
    gltf += R"("buffers":[{"byteLength":)" + std::to_string(bin.size()) +
                             R"(,"uri":"data:application/octet-stream;base64,)" + base64(bin) + R"("}]})";
    std::string off = "OFF\n4 4 0\n";
    for (const auto& c : kCorners) off += std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
    for (const auto& f : kFaces) off += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + "\n";
    for (const std::string& path : {dir.write("a.stl", asciiStl()), dir.write("b.STL", binaryStl()),
                                    dir.write("c.off", off), dir.write("d.gltf", gltf)}) {
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(path, mesh);
        ASSERT_TRUE(r.ok) << r.errorText();
        EXPECT_EQ(mesh.faceCount, 4) << path;
        EXPECT_EQ(r.meshExtent, 4.0f) << path;
        mesh.computeBounds();
        for (int c = 0; c < 8; ++c) {
            EXPECT_EQ(mesh.corners[c].x, obj.corners[c].x) << path;
            EXPECT_EQ(mesh.corners[c].y, obj.corners[c].y) << path;
            EXPECT_EQ(mesh.corners[c].z, obj.corners[c].z) << path;
        }
        if (path.ends_with(".gltf")) {
            // COLOR_0 under a white factor: the vertex colours, per corner.
            for (int f = 0; f < 4; ++f) {
                for (int k = 0; k < 3; ++k) {
                    const auto v = static_cast<std::size_t>(mesh.faces[f].index[k]);
                    const Rgba c = vertexColourFor(mesh, v, ColourSource::Auto);
                    const int corner = kFaces[f][k];
                    EXPECT_NEAR(c.r, kRgb[corner][0] / 255.0, 1e-6) << f << k;
                    EXPECT_NEAR(c.b, kRgb[corner][2] / 255.0, 1e-6) << f << k;
                }
            }
        }
    }
}

TEST(OtherFormats, ObjThroughOpenAssetImportOnRequest) {
    TempDir dir;
    test::writeTestPng(dir.file("t.png"), 2, 1, test::cellImage(2, 1, 1, {0xFF0000FF, 0x0000FFFF}));
    dir.write("t.mtl", "newmtl skin\nmap_Kd t.png\nnewmtl green\nKd 0 1 0\n");
    const std::string obj = dir.write("t.obj", "mtllib t.mtl\nv 0 0 0\nv 4 0 0\nv 0 2 0\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 0 1\n"
                                               "usemtl skin\nf 1/1 3/3 2/2\nusemtl green\nf 1 2 4\n");
    Mesh own, assimp;
    ASSERT_TRUE(loadPreparedMesh(obj, own).ok);
    const MeshLoadResult r = loadPreparedMesh(obj, assimp, ObjReaderChoice::Assimp);
    ASSERT_TRUE(r.ok) << r.errorText();
    for (const std::string& w : r.warningTexts()) ADD_FAILURE() << w;
    EXPECT_EQ(r.meshExtent, 4.0f);
    ASSERT_EQ(assimp.faceCount, 2);
    own.computeBounds();
    assimp.computeBounds();
    EXPECT_EQ(assimp.corners[1].x, own.corners[1].x);
    EXPECT_EQ(assimp.textures.size(), 1u);
    EXPECT_EQ(bestColourSource(assimp), ColourSource::Texture);
}

TEST(OtherFormats, GlbBaseColourTextureAndFactor) {
    TempDir dir;
    // 2 x 1 image: left red, right blue.
    const std::string png = test::writeTestPng(dir.file("tex.png"), 2, 1, test::cellImage(2, 1, 1, {0xFF0000FF, 0x0000FFFF}));
    std::ifstream in(png, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string bin;
    std::string json = gltfJson(false, R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}},)"
                                       R"({"pbrMetallicRoughness":{"baseColorFactor":[0,0.5,0,1]}})",
                                bin, image.size());
    bin += image;
    bin.resize((bin.size() + 3) / 4 * 4, '\0');
    json += R"("textures":[{"source":0}],"images":[{"bufferView":3,"mimeType":"image/png"}],)";
    json += R"("buffers":[{"byteLength":)" + std::to_string(bin.size()) + "}]}";
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::string glb = "glTF";
    append<std::uint32_t>(glb, 2);
    append<std::uint32_t>(glb, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    append<std::uint32_t>(glb, static_cast<std::uint32_t>(json.size()));
    glb += "JSON" + json;
    append<std::uint32_t>(glb, static_cast<std::uint32_t>(bin.size()));
    glb += std::string("BIN\0", 4) + bin;

    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(dir.write("t.glb", glb), mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    for (const std::string& w : r.warningTexts()) ADD_FAILURE() << w;
    ASSERT_EQ(mesh.textures.size(), 1u);
    EXPECT_EQ(bestColourSource(mesh), ColourSource::Texture);
    // Corner 1 maps u = 0.9 (blue half); v = 0.1 from the top in glTF is
    // 0.9 from the bottom as OBJ counts it.
    for (int f = 0; f < 4; ++f) {
        for (int k = 0; k < 3; ++k) {
            const auto v = static_cast<std::size_t>(mesh.faces[f].index[k]);
            EXPECT_EQ(vertexTextureFor(mesh, v, ColourSource::Auto), 0);
            EXPECT_FLOAT_EQ(mesh.texCoords[v][0], kFaces[f][k] == 1 ? 0.9f : 0.1f);
            EXPECT_FLOAT_EQ(mesh.texCoords[v][1], 0.9f);
        }
    }
    EXPECT_EQ(mesh.textures[0].rgba[0], 255);  // texel (0, 0) red
    EXPECT_EQ(mesh.textures[0].rgba[6], 255);  // texel (1, 0) blue
}

// A zip archive of stored (uncompressed) entries.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string zip, central;
    for (const auto& entry : entries) {
        const std::string& name = entry.first;
        const std::string& data = entry.second;
        const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        auto header = [&](std::string& s, bool isCentral) {
            append<std::uint32_t>(s, isCentral ? 0x02014b50 : 0x04034b50);
            if (isCentral) append<std::uint16_t>(s, 20);
            for (const std::uint16_t v : {20, 0, 0, 0, 0}) append<std::uint16_t>(s, v);
            append<std::uint32_t>(s, crc);
            append<std::uint32_t>(s, static_cast<std::uint32_t>(data.size()));
            append<std::uint32_t>(s, static_cast<std::uint32_t>(data.size()));
            append<std::uint16_t>(s, static_cast<std::uint16_t>(name.size()));
            append<std::uint16_t>(s, 0);
            if (isCentral) {
                for (int i = 0; i < 3; ++i) append<std::uint16_t>(s, 0);
                append<std::uint32_t>(s, 0);
                append<std::uint32_t>(s, offset);
            }
            s += name;
        };
        header(zip, false);
        zip += data;
        header(central, true);
    }
    const auto centralOffset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    append<std::uint32_t>(zip, 0x06054b50);
    append<std::uint16_t>(zip, 0);
    append<std::uint16_t>(zip, 0);
    append<std::uint16_t>(zip, static_cast<std::uint16_t>(entries.size()));
    append<std::uint16_t>(zip, static_cast<std::uint16_t>(entries.size()));
    append<std::uint32_t>(zip, static_cast<std::uint32_t>(central.size()));
    append<std::uint32_t>(zip, centralOffset);
    append<std::uint16_t>(zip, 0);
    return zip;
}

TEST(OtherFormats, ThreeMfBaseMaterials) {
    std::string model = R"(<?xml version="1.0" encoding="UTF-8"?>
<model unit="millimeter" xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02">
<resources><basematerials id="1"><base name="red" displaycolor="#FF0000"/><base name="blue" displaycolor="#0000FF"/></basematerials>
<object id="2" type="model" pid="1" pindex="0"><mesh><vertices>)";
    for (const auto& c : kCorners)
        model += "<vertex x=\"" + std::to_string(c[0]) + "\" y=\"" + std::to_string(c[1]) + "\" z=\"" + std::to_string(c[2]) + "\"/>";
    model += "</vertices><triangles>";
    for (const auto& f : kFaces)
        model += "<triangle v1=\"" + std::to_string(f[0]) + "\" v2=\"" + std::to_string(f[1]) + "\" v3=\"" + std::to_string(f[2]) + "\"/>";
    model += "</triangles></mesh></object></resources><build><item objectid=\"2\"/></build></model>";
    const std::string types = R"(<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="model" ContentType="application/vnd.ms-package.3dmanufacturing-3dmodel+xml"/></Types>)";
    const std::string rels = R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Target="/3D/3dmodel.model" Id="rel0" Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/></Relationships>)";
    TempDir dir;
    Mesh mesh;
    const MeshLoadResult r =
        loadPreparedMesh(dir.write("t.3mf", storedZip({{"[Content_Types].xml", types}, {"_rels/.rels", rels}, {"3D/3dmodel.model", model}})), mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.faceCount, 4);
    EXPECT_EQ(r.meshExtent, 4.0f);
    const Rgba c = vertexColourFor(mesh, static_cast<std::size_t>(mesh.faces[0].index[0]), ColourSource::Auto);
    EXPECT_TRUE(c.r == 1 && c.g == 0 && c.b == 0) << c.r << " " << c.g << " " << c.b;
}

TEST(OtherFormats, BrokenFilesFailWithOneLine) {
    TempDir dir;
    Mesh mesh;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"broken.ply", "ply\nformat ascii 1.0\nelement vertex 99\n"}, {"broken.glb", "glTF garbage"},
             {"short.stl", std::string(40, 'x')}}) {
        const std::string path = dir.write(name, bytes);
        const MeshLoadResult r = loadPreparedMesh(path, mesh);
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(r.errorText().rfind(path + ": cannot read mesh: ", 0), 0u) << r.errorText();
        EXPECT_EQ(r.errorText().find('\n'), std::string::npos) << r.errorText();
    }
}

}  // namespace
}  // namespace kubelmar
