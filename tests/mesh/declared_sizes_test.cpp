#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mesh/declared_sizes.h"
#include "tests/support/temp_dir.h"

namespace kubelmar {
namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::string plyHeader(const std::string& format, const std::string& vertices, const std::string& faces = "0") {
    return "ply\nformat " + format + " 1.0\ncomment made by hand\nelement vertex " + vertices +
           "\nproperty float x\nproperty float y\nproperty float z\nelement face " + faces +
           "\nproperty list uchar int vertex_indices\nend_header\n";
}

bool has(const std::string& reason, const std::string& part) { return reason.find(part) != std::string::npos; }

TEST(DeclaredSizes, PlyCountsAgainstTheBytesLeft) {
    // The trial's 230-byte binary file declaring 10^9 vertices.
    std::string ply = plyHeader("binary_little_endian", "1000000000");
    ply.resize(230, '\0');
    const std::string reason = checkPlyDeclaredSizes(ply, ply.size(), 8 * kGiB);
    EXPECT_TRUE(has(reason, "declares 1000000000 vertices of at least 12 bytes each")) << reason;
    EXPECT_TRUE(has(reason, "more than the " + std::to_string(230 - plyHeader("binary_little_endian", "1000000000").size()) +
                                " bytes after the header hold"))
        << reason;

    // Exactly enough: 4 vertices of 12 bytes and one face of 1 + 3 * 4.
    std::string fits = plyHeader("binary_little_endian", "4", "1") + std::string(4 * 12 + 13, '\0');
    EXPECT_EQ(checkPlyDeclaredSizes(fits, fits.size(), 8 * kGiB), "");
    // A list may be empty: its length byte is all a face must have.
    fits.resize(fits.size() - 13);
    EXPECT_TRUE(has(checkPlyDeclaredSizes(fits, fits.size(), 8 * kGiB), "declares 1 faces of at least 1 byte each"));

    // Text: "0 0 0" and a break is the least a vertex takes.
    const std::string ascii = plyHeader("ascii", "3") + "0 0 0\n1 0 0\n0 1 0";
    EXPECT_EQ(checkPlyDeclaredSizes(ascii, ascii.size(), 8 * kGiB), "");
    const std::string short_ = plyHeader("ascii", "4") + "0 0 0\n1 0 0\n0 1 0";
    EXPECT_TRUE(has(checkPlyDeclaredSizes(short_, short_.size(), 8 * kGiB), "declares 4 vertices of at least 6 bytes"));
}

TEST(DeclaredSizes, PlyCountsPastWhatAMeshOrAWordHolds) {
    const std::string big = plyHeader("binary_little_endian", "1099511627776");  // 2^40
    EXPECT_EQ(checkPlyDeclaredSizes(big, big.size(), 8 * kGiB),
              "declares 1099511627776 vertices, more than the 2147483647 a mesh can hold");
    const std::string wraps = plyHeader("ascii", "4294967297");  // 2^32 + 1, which 32 bits read as 1
    EXPECT_EQ(checkPlyDeclaredSizes(wraps, wraps.size(), 8 * kGiB),
              "declares 4294967297 vertices, more than the 2147483647 a mesh can hold");
    const std::string huge = plyHeader("ascii", "3", "123456789012345678901234567890");
    EXPECT_TRUE(has(checkPlyDeclaredSizes(huge, huge.size(), 8 * kGiB),
                    "declares 123456789012345678901234567890 faces, more than the 18446744073709551615 a 64-bit count holds"));
}

TEST(DeclaredSizes, PlyWithinTheBytesButOverTheBudget) {
    // 10^6 vertices present in full, under a 64 MiB budget.
    const std::string header = plyHeader("binary_little_endian", "1000000");
    const std::uint64_t size = header.size() + 12'000'000;
    const std::string reason = checkPlyDeclaredSizes(header, size, 64 << 20);
    EXPECT_TRUE(has(reason, "declares 1000000 vertices, about ")) << reason;
    EXPECT_TRUE(has(reason, "more than the limit of 64 MiB (--max-memory)")) << reason;
    EXPECT_EQ(checkPlyDeclaredSizes(header, size, 8 * kGiB), "");
}

TEST(DeclaredSizes, PlyCountsReadAsTheImporterReadsThem) {
    // Leading digits count, whatever follows; none at all is zero.
    for (const std::string& ply : {std::string("ply\nformat ascii 1.0\nelement vertex -5\nend_header\n"),
                                   std::string("ply\nformat ascii 1.0\nelement vertex 1e9\nend_header\n0 0 0\n")})
        EXPECT_EQ(checkPlyDeclaredSizes(ply, ply.size(), 8 * kGiB), "") << ply;
    const std::string suffixed = "ply\nformat ascii 1.0\nelement vertex 4294967297x\nend_header\n";
    EXPECT_EQ(checkPlyDeclaredSizes(suffixed, suffixed.size(), 8 * kGiB),
              "declares 4294967297 vertices, more than the 2147483647 a mesh can hold");
    // "end_header" inside a word is not the end of the header.
    const std::string unended = "ply\nformat ascii 1.0\nelement vertex 4\nproperty float vpend_headerx\n";
    EXPECT_EQ(checkPlyDeclaredSizes(unended, unended.size(), 8 * kGiB), "PLY header without end_header");
}

std::string binaryStlHead(std::uint32_t triangles) {
    std::string s(80, ' ');
    s.append(reinterpret_cast<const char*>(&triangles), 4);
    return s;
}

TEST(DeclaredSizes, StlTriangleCountAgainstTheFileSize) {
    EXPECT_EQ(checkStlDeclaredSizes(binaryStlHead(4), 84 + 4 * 50, 8 * kGiB), "");
    EXPECT_EQ(checkStlDeclaredSizes(binaryStlHead(4000000000u), 284, 8 * kGiB),
              "declares 4000000000 triangles (200000000084 bytes as binary STL), but the file is 284 bytes");
    // A text STL's header words land where the count would be.
    std::string ascii = "solid x\n" + std::string(100, ' ');
    EXPECT_EQ(checkStlDeclaredSizes(ascii.substr(0, 84), ascii.size(), 8 * kGiB), "");
    const std::string reason = checkStlDeclaredSizes(binaryStlHead(1000000), 84 + 50'000'000, 64 << 20);
    EXPECT_TRUE(has(reason, "declares 1000000 triangles, about ")) << reason;
    EXPECT_TRUE(has(reason, "(--max-memory)")) << reason;
}

TEST(DeclaredSizes, OffCounts) {
    const std::string off = "OFF\n# corners\n4 4 0\n0 0 0\n4 0 0\n0 2 0\n0 0 1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
    EXPECT_EQ(checkOffDeclaredSizes(off, off.size(), 8 * kGiB), "");
    const std::string lying = "OFF\n1000000000 1 0\n0 0 0\n";
    EXPECT_TRUE(has(checkOffDeclaredSizes(lying, lying.size(), 8 * kGiB), "declares 1000000000 vertices and 1 faces, at least"));
    const std::string wraps = "COFF 4294967297 1 0\n";
    EXPECT_EQ(checkOffDeclaredSizes(wraps, wraps.size(), 8 * kGiB),
              "declares 4294967297 vertices, more than the 2147483647 a mesh can hold");
    EXPECT_EQ(checkOffDeclaredSizes("not an off file", 15, 8 * kGiB), "");
    // A count run into other text still counts by its digits, as the importer reads it.
    const std::string runOn = "OFF\n4 4333333333333333333333333COFF33 6+\n0 0 0\n";
    EXPECT_EQ(checkOffDeclaredSizes(runOn, runOn.size(), 8 * kGiB),
              "declares 4333333333333333333333333 faces, more than the 18446744073709551615 a 64-bit count holds");
}

TEST(DeclaredSizes, GltfCountsLengthsAndInlineData) {
    const std::string ok = R"({"accessors":[{"count":4}],"buffers":[{"byteLength":48,"uri":"data:;base64,AAAA"}]})";
    EXPECT_EQ(checkGltfDeclaredSizes(ok, 8 * kGiB), "");
    EXPECT_EQ(checkGltfDeclaredSizes(R"({"accessors":[{"count" : 4294967297}]})", 8 * kGiB),
              "an accessor declares 4294967297 elements, more than the 2147483647 a mesh can hold");
    EXPECT_TRUE(has(checkGltfDeclaredSizes(R"({"accessors":[{"count":100000000}]})", 64 << 20), "(--max-memory)"));
    EXPECT_TRUE(has(checkGltfDeclaredSizes(R"({"buffers":[{"byteLength":99999999999999999999999}]})", 8 * kGiB),
                    "its buffers declare 99999999999999999999999 bytes"));
    const std::string inlineData = R"({"buffers":[{"uri":"data:application/octet-stream;base64,)" + std::string(4000, 'A') + "\"}]}";
    EXPECT_TRUE(has(checkGltfDeclaredSizes(inlineData, 1000), "its inline data decodes to 2.9 KiB"));

    std::string glb = "glTF";
    const std::uint32_t header[4] = {2, 1000, 8, 0x4E4F534A};
    glb.append(reinterpret_cast<const char*>(header), sizeof header);
    glb += "{}      ";
    EXPECT_EQ(checkGlbDeclaredSizes(glb, 8 * kGiB), "declares 1000 bytes, but the file is 28 bytes");
}

// A zip archive with one entry whose central directory declares the given
// sizes; the local data is `stored` bytes.
std::string zipDeclaring(const std::string& name, std::uint32_t compressed, std::uint32_t inflated, std::size_t stored) {
    auto put32 = [](std::string& s, std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [](std::string& s, std::uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    std::string zip, central;
    put32(zip, 0x04034b50);
    for (const std::uint16_t v : {20, 0, 8, 0, 0}) put16(zip, v);
    put32(zip, 0);
    put32(zip, compressed);
    put32(zip, inflated);
    put16(zip, static_cast<std::uint16_t>(name.size()));
    put16(zip, 0);
    zip += name + std::string(stored, '\0');
    put32(central, 0x02014b50);
    for (const std::uint16_t v : {20, 20, 0, 8, 0, 0}) put16(central, v);
    put32(central, 0);
    put32(central, compressed);
    put32(central, inflated);
    put16(central, static_cast<std::uint16_t>(name.size()));
    for (int i = 0; i < 4; ++i) put16(central, 0);
    put32(central, 0);
    put32(central, 0);
    central += name;
    const auto offset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    put32(zip, 0x06054b50);
    for (const std::uint16_t v : {0, 0, 1, 1}) put16(zip, v);
    put32(zip, static_cast<std::uint32_t>(central.size()));
    put32(zip, offset);
    put16(zip, 0);
    return zip;
}

TEST(DeclaredSizes, ZipEntriesBombsAndBudget) {
    test::TempDir dir;
    // The trial's 3.1 MB archive inflating to 3.2 GB, declared only.
    EXPECT_EQ(checkZipDeclaredSizes(dir.write("bomb.3mf", zipDeclaring("3D/3dmodel.model", 3'100'000, 3'200'000'000u, 64)), 8 * kGiB),
              "archive entry '3D/3dmodel.model' inflates from 3100000 to 3200000000 bytes, more than 100 times its size "
              "(a decompression bomb)");
    EXPECT_EQ(checkDeclaredSizes(dir.write("bomb2.3mf", zipDeclaring("3D/3dmodel.model", 1'000'000, 1'000'000'000u, 64)), 8 * kGiB)
                  .find("archive entry '3D/3dmodel.model' inflates from 1000000 to 1000000000 bytes"),
              0u);
    // Plausible ratios pass; small entries may compress as well as they like.
    EXPECT_EQ(checkZipDeclaredSizes(dir.write("ok.3mf", zipDeclaring("3D/3dmodel.model", 1'000'000, 8'000'000, 64)), 8 * kGiB), "");
    EXPECT_EQ(checkZipDeclaredSizes(dir.write("tiny.3mf", zipDeclaring("_rels/.rels", 10, 900'000, 10)), 8 * kGiB), "");
    const std::string over = checkZipDeclaredSizes(dir.write("big.3mf", zipDeclaring("3D/3dmodel.model", 10'000'000, 200'000'000, 64)), 256 << 20);
    EXPECT_TRUE(has(over, "the archive inflates to 200000000 bytes, about")) << over;
    EXPECT_TRUE(has(over, "(--max-memory)")) << over;
    EXPECT_TRUE(has(checkZipDeclaredSizes(dir.write("z64.3mf", zipDeclaring("a", 0xFFFFFFFF, 0xFFFFFFFF, 4)), 8 * kGiB), "zip64"));
    EXPECT_EQ(checkZipDeclaredSizes(dir.write("junk.3mf", "PK\x03\x04 not really"), 8 * kGiB), "");
}

TEST(DeclaredSizes, WholeFileAgainstTheBudget) {
    test::TempDir dir;
    const std::string path = dir.write("big.stl", "solid x\n" + std::string(5000, ' '));
    EXPECT_EQ(checkDeclaredSizes(path, 4096), "the file is 5008 bytes, more than the memory limit of 4 KiB (--max-memory)");
    EXPECT_EQ(checkDeclaredSizes(path, 8 * kGiB), "");
    EXPECT_EQ(checkDeclaredSizes(dir.file("missing.ply"), 8 * kGiB), "");
}

}  // namespace
}  // namespace kubelmar
