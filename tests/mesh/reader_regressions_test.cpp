// Inputs the fuzzers found, each once a crash, an abort or a sanitizer
// report; every one must now end as an error value, in this process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mesh/mesh_loader.h"
#include "mesh/texture_image.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_images.h"

namespace kubelmar {
namespace {

MeshLoadResult loadInProcess(const std::string& path) {
    LoadLimits limits;
    limits.isolateThirdPartyReaders = false;  // an abort here fails the test run
    Mesh mesh;
    return loadPreparedMesh(path, mesh, limits);
}

TEST(ReaderRegressions, OffFaceNamingAVertexNeverRead) {
    // The importer left a face without indices; post-processing asserted.
    test::TempDir dir;
    const std::string path = dir.write("index-past-end.off",
                                       "OFF\n# tetrahedron\n4 4 6\n0 0 0\n4 0 0\n00 2 1\n3 0 1 3\n3 0 3 2\n3 12 1\n3");
    const MeshLoadResult r = loadInProcess(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorText().rfind(path + ": cannot read mesh: ", 0), 0u) << r.errorText();
}

TEST(ReaderRegressions, PlyFaceWithoutIndices) {
    // "3 0 2e" ends the face list early and leaves a face with no indices,
    // which triangulation asserted on; the other face is kept.
    test::TempDir dir;
    const std::string path = dir.write("face-without-indices.ply",
                                       "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                                       "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n"
                                       "0 0 0\n4 0 0\n0 2 0\n0 0 1\n3 0 2e\nelement fa 1\n3 0 1 3\n");
    LoadLimits limits;
    limits.isolateThirdPartyReaders = false;
    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(path, mesh, limits);
    ASSERT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.faceCount, 1);
}

TEST(ReaderRegressions, PlyEndHeaderOnlyInsideAWord) {
    // The importer looked for the end of the header for ever.
    test::TempDir dir;
    const std::string path = dir.write("end-header-in-word.ply",
                                       "ply\nformat binary_big_endian 2.0\nelement vply\nfertex 4\nproperty fl\xff"
                                       "oatormat binarment vpend_headerndi ");
    const MeshLoadResult r = loadInProcess(path);
    EXPECT_EQ(r.errorText(), path + ": cannot read mesh: PLY header without end_header");
}

TEST(ReaderRegressions, OffCountRunIntoText) {
    // 4333...COFF33: the importer read the leading digits, wrapped them to
    // 32 bits and allocated 52 GB.
    test::TempDir dir;
    const std::string path = dir.write("count-run-into-text.off",
                                       "OFF\n# tetrahedron\n4 433333333333333333333333333COFF3333 6+\n0 0 0\n4 0 0\n");
    const MeshLoadResult r = loadInProcess(path);
    EXPECT_EQ(r.errorText(), path + ": cannot read mesh: declares 433333333333333333333333333 faces, more than the "
                                    "18446744073709551615 a 64-bit count holds");
}

TEST(ReaderRegressions, PlyEndHeaderFollowedByVerticalTab) {
    // The importer read on for ever after "end_header\v".
    test::TempDir dir;
    const std::string path = dir.write("end-header-vertical-tab.ply",
                                       "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nend_header\v0\n");
    EXPECT_EQ(loadInProcess(path).errorText(), path + ": cannot read mesh: PLY header without end_header");
}

TEST(ReaderRegressions, OffHeaderRunIntoTheVertexCount) {
    // "COFF222222220": the importer read 222222220 vertices and asked for 2.7 GB.
    test::TempDir dir;
    const std::string path = dir.write("header-run-into-count.off", "COFF222222220\n5\n");
    const MeshLoadResult r = loadInProcess(path);
    EXPECT_EQ(r.errorText().rfind(path + ": cannot read mesh: declares 222222220 vertices and 5 faces, at least", 0), 0u)
        << r.errorText();
}

TEST(ReaderRegressions, JpegHuffmanTableWithTooManyCodes) {
    // stb_image wrote past its 257-entry code-length table.
    const std::string jpeg(
        "\xff\xd8\xff\xdb\x00\x43\x00\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
        "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\xd8\x01\x01\x01\xff\xc0\x01\x01"
        "\x01\x01\x01\x01\x01\x01\x01\x01\x01\xff\xc0\x00\x0b\x08\x00\x08\x00\x10\x01\x01\x11\x00\xff\xc4\x00\x14\x00\x01"
        "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xc4\x00\x14\x10\x01\x00\x00\x00\x00\x00\x00"
        "\x00\x00\x00\x00\x00\x00\x00\xff\xc4\x00\x14\x10\x01\x00\x00\x00\x00\x00\x00\x08\x01\x7a\x00\x00\x3f\x00\x0f\xff"
        "\xd9",
        141);
    const TextureLoadResult r = decodeTexture(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), "t.jpg");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "corrupt JPEG: a Huffman table declares 452 codes, more than 256");
    // The decoder skips fill bytes before the start marker; so does the check.
    const std::string filled = std::string(4, '\xff') + jpeg;
    const TextureLoadResult f = decodeTexture(reinterpret_cast<const std::uint8_t*>(filled.data()), filled.size(), "t.jpg");
    EXPECT_EQ(f.reason, r.reason);
}

TEST(ReaderRegressions, PngChunkLongerThanTheFile) {
    // The decoder grew its buffer to a data chunk's declared 1.1 GB (2 GiB
    // after doubling) before finding the file ended.
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x03\0\0\0\x02\x08\x06\0\0\0\x9dtf\x1a"
                          "\x45\0\0\x18IDATx\x9c",
                          43);
    const TextureLoadResult r = decodeTexture(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), "t.png");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "corrupt PNG: a chunk declares 1157627928 bytes, more than the 2 left in the file");
}

TEST(ReaderRegressions, TinyFilesDeclaringHugeImages) {
    // A 141-byte JPEG declaring 65296 x 239 pixels kept the decoder busy for
    // seconds; a flat 2048 x 2048 PNG of a few kilobytes still loads.
    test::TempDir dir;
    std::string jpeg(141, '\0');
    std::FILE* in = std::fopen(KUBELMAR_FUZZ_REGRESSIONS_DIR "/texture/jpeg-141-bytes-declaring-15-megapixels.jpg", "rb");
    ASSERT_NE(in, nullptr);
    jpeg.resize(std::fread(jpeg.data(), 1, jpeg.size(), in));
    std::fclose(in);
    const TextureLoadResult r = decodeTexture(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), "t.jpg");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "the image declares 65296 x 239 pixels in only 141 bytes");

    const std::string flat = test::writeTestPng(dir.file("flat.png"), 2048, 2048, std::vector<std::uint8_t>(2048 * 2048 * 4, 200));
    const TextureLoadResult ok = loadTextureFile(flat);
    EXPECT_TRUE(ok.ok) << ok.reason;
}

std::string readBytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, n);
        std::fclose(in);
    }
    return bytes;
}

TEST(ReaderRegressions, JpegScanThroughAHuffmanTableNeverDefined) {
    // stb_image decoded the scan through an AC table no DHT segment defined,
    // from uninitialised memory, and indexed 349 entries before the table.
    const std::string jpeg = readBytes(KUBELMAR_FUZZ_REGRESSIONS_DIR "/texture/jpeg-scan-with-an-undefined-huffman-table.jpg");
    ASSERT_EQ(jpeg.size(), 282u);
    const TextureLoadResult r = decodeTexture(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), "t.jpg");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "corrupt JPEG: a scan decodes with AC Huffman table 0, which is never defined");
    // Progressive files leave tables out where a scan doesn't use them (DC
    // refinement, AC passes of one component); those still decode.
    for (const char* name : {"progressive-rgb.jpg", "progressive-grey.jpg"}) {
        const std::string p = readBytes(KUBELMAR_FUZZ_REGRESSIONS_DIR "/../corpus/texture/" + std::string(name));
        ASSERT_FALSE(p.empty()) << name;
        const TextureLoadResult ok = decodeTexture(reinterpret_cast<const std::uint8_t*>(p.data()), p.size(), name);
        EXPECT_TRUE(ok.ok) << name << ": " << ok.reason;
        EXPECT_EQ(ok.texture.width, 64);
    }
}

}  // namespace
}  // namespace kubelmar
