#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>

#include "mesh/mesh_loader.h"

namespace kubelmar {
namespace {

// OBJ text in a file of its own under the system temp directory.
class TempObj {
public:
    explicit TempObj(const std::string& text) {
        const std::string name = "kubelmar_loader_" + std::to_string(getpid()) + "_" + std::to_string(counter_++);
        path_ = (std::filesystem::temp_directory_path() / (name + ".obj")).string();
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempObj() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::string path_;
};

// The eight corners of lo..hi and two triangles, enough for a box.
std::string boxObj(float x0, float y0, float z0, float x1, float y1, float z1) {
    std::string text;
    for (int i = 0; i < 8; ++i) {
        text += "v " + std::to_string(i & 1 ? x1 : x0) + " " + std::to_string(i & 2 ? y1 : y0) + " " +
                std::to_string(i & 4 ? z1 : z0) + "\n";
    }
    return text + "f 1 3 2\nf 5 6 8\n";
}

TEST(MeshLoader, FramesBoxesIntoTheViewCube) {
    struct Case {
        float lo[3], hi[3], extent, half[3];
    };
    for (const Case& c : {Case{{0, 0, 0}, {1, 1, 1}, 1, {1024, 1024, 1024}},
                          Case{{10, 20, 30}, {14, 22, 31}, 4, {1024, 512, 256}},
                          Case{{-3, 0, 5}, {-2, 8, 5}, 8, {128, 1024, 0}}}) {
        const TempObj file(boxObj(c.lo[0], c.lo[1], c.lo[2], c.hi[0], c.hi[1], c.hi[2]));
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(file.path(), mesh);
        ASSERT_TRUE(r.ok) << r.errorText();
        EXPECT_FLOAT_EQ(r.meshExtent, c.extent);  // in file units
        const Float3 &hi = mesh.corners[1], &lo = mesh.corners[4];
        EXPECT_TRUE(hi.x == c.half[0] && hi.y == c.half[1] && hi.z == c.half[2]) << hi.x << " " << hi.y << " " << hi.z;
        EXPECT_TRUE(lo.x == -c.half[0] && lo.y == -c.half[1] && lo.z == -c.half[2]) << lo.x << " " << lo.y << " " << lo.z;
        EXPECT_NEAR(length(mesh.normals[0]), 1.0f, 1e-6f);  // used by a face
    }
}

TEST(MeshLoader, FailedLoadLeavesTheCurrentMeshAlone) {
    Mesh mesh;
    const TempObj good(boxObj(0, 0, 0, 1, 2, 3));
    ASSERT_TRUE(loadPreparedMesh(good.path(), mesh).ok);

    const TempObj point("v 1 2 3\nv 1 2 3\nf 1 2 1\n");
    const TempObj notFinite("v 0 0 0\nv 1 1 nan\n");
    const TempObj huge("v -3e38 0 0\nv 3e38 0 0\n");  // the side overflows a float
    for (const std::string& path : {point.path(), notFinite.path(), huge.path(), std::string("/nonexistent.obj")}) {
        const MeshLoadResult r = loadPreparedMesh(path, mesh);
        EXPECT_FALSE(r.ok) << path;
        ASSERT_NE(r.error(), nullptr);
        EXPECT_EQ(r.error()->file, path);
        EXPECT_EQ(mesh.vertexCount, 8);
        EXPECT_FLOAT_EQ(mesh.corners[1].z, 1024);
    }

    // A file without usable vertices is an empty mesh, not an error.
    const TempObj empty("# nothing here\n");
    const MeshLoadResult r = loadPreparedMesh(empty.path(), mesh);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(mesh.vertexCount, 0);
    EXPECT_EQ(r.meshExtent, 0.0f);
}

TEST(MeshLoader, SkippedFacesAreReportedOnce) {
    const TempObj file("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\nf 1 2 0\n");
    Mesh mesh;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const MeshLoadResult r = loadPreparedMesh(file.path(), mesh);
    // Nothing is printed: the warning is a value, and a line of the log.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(r.diagnostics[0].severity, Diagnostic::Severity::Warning);
    EXPECT_EQ(r.diagnostics[0].file, file.path());
    EXPECT_EQ(mesh.faceCount, 1);
    EXPECT_NE(r.diagnostics[0].message.find("2 faces"), std::string::npos);
}

TEST(MeshLoader, LoadsTheSamples) {
    Mesh mesh;
    const MeshLoadResult r = loadPreparedMesh(KUBELMAR_SAMPLES_DIR "/bunny.obj", mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.vertexCount, 1839);
    EXPECT_EQ(mesh.faceCount, 3674);
    EXPECT_TRUE(r.warningTexts().empty());
    EXPECT_FLOAT_EQ(mesh.largestSide(), 2048.0f);
    EXPECT_NEAR(mesh.corners[1].y + mesh.corners[4].y, 0.0f, 1e-3f);  // centred
    // The prepared floats are pinned: the engine's picture fixtures depend
    // on them, so framing must keep forming them the single-precision way.
    EXPECT_EQ(mesh.positions[0].x, 0x1.0e1df2p+8f);
    EXPECT_EQ(mesh.positions[0].y, -0x1.e61c4p+9f);
    EXPECT_EQ(mesh.positions[998].z, 0x1.06debp+3f);
    EXPECT_TRUE(loadPreparedMesh(KUBELMAR_SAMPLES_DIR "/teapot.obj", mesh).ok);
    EXPECT_EQ(mesh.faceCount, 992);
    EXPECT_EQ(mesh.positions[0].y, 0x1.06d84ep+8f);
    EXPECT_EQ(mesh.positions[498].x, 0x1.3ef52cp+9f);
}

TEST(MeshLoader, FarOffMeshIsFramedInDoublePrecision) {
    // Two float-exact x values 2 apart at 2^24: the single-precision centre
    // put them at 0 and 2048, pushing half the mesh out of the view cube.
    Mesh mesh;
    const TempObj far("v 16777216 0 0\nv 16777218 0 0\nv 16777216 1 0\nf 1 2 3\n");
    MeshLoadResult r = loadPreparedMesh(far.path(), mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    EXPECT_EQ(mesh.positions[0].x, -1024.0f);
    EXPECT_EQ(mesh.positions[1].x, 1024.0f);
    EXPECT_EQ(mesh.positions[2].y, 512.0f);
    EXPECT_EQ(r.meshExtent, 2.0f);
    EXPECT_EQ(r.fileBoxLow, (std::array<double, 3>{16777216, 0, 0}));
    EXPECT_EQ(r.fileBoxHigh, (std::array<double, 3>{16777218, 1, 0}));

    // A 2 x 2 x 2 box at x = 2^24 fills the cube on every axis.
    const TempObj box(boxObj(16777216, -1, -1, 16777218, 1, 1));
    r = loadPreparedMesh(box.path(), mesh);
    ASSERT_TRUE(r.ok) << r.errorText();
    for (const Float3& p : mesh.positions) {
        EXPECT_EQ(std::fabs(p.x), 1024.0f);
        EXPECT_EQ(std::fabs(p.y), 1024.0f);
    }
}

TEST(MeshLoader, ExtentsNearTheFloatLimitsAreMeasured) {
    // Squared in float, 1e-23 underflowed to "coincide" and 1.9e19 overflowed.
    for (const char* text : {"v 0 0 0\nv 1e-23 0 0\nv 0 1e-23 0\nf 1 2 3\n",
                             "v 0 0 0\nv 1.9e19 0 0\nv 0 1.9e19 0\nf 1 2 3\n"}) {
        const TempObj file(text);
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(file.path(), mesh);
        ASSERT_TRUE(r.ok) << r.errorText();
        EXPECT_GT(r.meshExtent, 0.0f);
        EXPECT_TRUE(std::isfinite(r.meshExtent));
        EXPECT_FLOAT_EQ(mesh.positions[1].x - mesh.positions[0].x, 2048.0f);
    }
}

TEST(MeshLoader, TabsByteOrderMarkAndLoneCarriageReturns) {
    // Each of these once dropped a vertex silently, so later faces pointed
    // at the wrong ones; all must give the same mesh as the plain file.
    const std::string plain = "v 0 0 0\nv 4 0 0\nv 0 2 0\nvt 0 0\nf 1 2 3\n";
    Mesh expected;
    const TempObj plainFile(plain);
    ASSERT_TRUE(loadPreparedMesh(plainFile.path(), expected).ok);
    for (const std::string& text : {std::string("\xEF\xBB\xBFv 0 0 0\nv 4 0 0\nv 0 2 0\nf 1 2 3\n"),
                                    std::string("v\t0\t0\t0\nv\t4 0 0\nv 0 2 0\nvt\t0\t0\nf\t1\t2\t3\n"),
                                    std::string("v 0 0 0\rv 4 0 0\rv 0 2 0\rf 1 2 3"),
                                    std::string("v 0 0 0\r\nv 4 0 0\rv 0 2 0\n\rf 1 2 3\r\n")}) {
        const TempObj file(text);
        Mesh mesh;
        const MeshLoadResult r = loadPreparedMesh(file.path(), mesh);
        ASSERT_TRUE(r.ok) << r.errorText();
        ASSERT_EQ(mesh.vertexCount, 3) << text;
        ASSERT_EQ(mesh.faceCount, 1) << text;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(mesh.positions[i].x, expected.positions[i].x) << text;
            EXPECT_EQ(mesh.positions[i].y, expected.positions[i].y) << text;
        }
    }
}

TEST(MeshLoader, UnsupportedAndSpecialFilesSayWhy) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kubelmar_special_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string text = (dir / "notes.txt").string();
    std::ofstream(text) << "v 0 0 0\n";
    const std::string fifo = (dir / "pipe.obj").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Mesh mesh;
    MeshLoadResult r = loadPreparedMesh(text, mesh);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorText(), text + ": not a supported mesh file (OBJ, STL, PLY, glTF/GLB, 3MF or OFF)");
    r = loadPreparedMesh(fifo, mesh);  // must not block waiting for a writer
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errorText().find("not a regular file"), std::string::npos) << r.errorText();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kubelmar
