#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

struct Recorder : Progress {
    std::vector<std::string> calls;
    void begin(const std::string& label, int maximum) override {
        calls.push_back("begin " + label + " " + std::to_string(maximum));
    }
    void setValue(int) override {}
    void end() override { calls.push_back("end"); }
};

TEST(VoxelSize, SizesOutsideWhatTheEngineAndTheGLRenderAreRefused) {
    Engine engine;
    EXPECT_EQ(engine.checkVoxelSize(1), "");
    EXPECT_EQ(engine.checkVoxelSize(4096), "");
    EXPECT_NE(engine.checkVoxelSize(0), "");
    EXPECT_NE(engine.checkVoxelSize(4097).find("4096"), std::string::npos);
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    EXPECT_GE(f.engine.maxVoxelSize(), 1024);
    EXPECT_LE(f.engine.maxVoxelSize(), 4096);
    if (f.engine.maxVoxelSize() < 4096) {
        const std::string why = f.engine.checkVoxelSize(f.engine.maxVoxelSize() + 1);
        EXPECT_NE(why.find(std::to_string(f.engine.maxVoxelSize())), std::string::npos) << why;
        EXPECT_NE(why.find("GL_MAX_TEXTURE_SIZE"), std::string::npos) << why;
    }
}

TEST(Voxelize, ClippingRunReportsItsSteps) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::Clipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 0.5f, 0.25f)));
    Recorder progress;
    ASSERT_TRUE(f.run(progress).ok);
    // XY slabs are the output slices, so that pass runs last, writing as it goes.
    const std::vector<std::string> steps = {
        "begin Slicing XZ: (Step 2 of 4) 64", "end", "begin Slicing YZ: (Step 3 of 4) 64", "end",
        "begin Slicing XY: (Step 1 of 4) 64", "end", "begin Saving Voxels: (Step 4 of 4) 64", "end"};
    EXPECT_EQ(progress.calls, steps);
    // The run keeps its axis views to itself: the view's rotation is untouched.
    for (int i = 0; i < 16; ++i) EXPECT_EQ(f.engine.view().rotation().m[i], Mat4::identity().m[i]) << i;
}

TEST(Voxelize, DepthRunReportsItsThreeSteps) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, VoxelMode::DepthBuffer);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
    Recorder progress;
    const auto pictures = f.dir / "images";
    std::filesystem::create_directories(pictures);
    f.settings.depthPictureDirectory = pictures.string();
    ASSERT_TRUE(f.run(progress).ok);
    const std::vector<std::string> steps = {"begin Saving Depth-Buffers: (Step 1 of 3) 6", "end",
                                            "begin Building Voxels: (Step 2 of 3) 64", "end",
                                            "begin Saving Voxels: (Step 3 of 3) 64", "end"};
    EXPECT_EQ(progress.calls, steps);
    for (const char* name : {"RenderXPos.png", "RenderXNeg.png", "RenderYPos.png", "RenderYNeg.png",
                             "RenderZPos.png", "RenderZNeg.png"})
    {
        // Saved as a grab gives them: RGB, no alpha (PNG colour type 2).
        std::ifstream png(pictures / name, std::ios::binary);
        char header[26] = {};
        png.read(header, sizeof header);
        EXPECT_EQ(header[25], 2) << name;
    }
}

}  // namespace
}  // namespace kubelmar::test

namespace kubelmar::test {
namespace {

TEST(LoadMesh, AFileWithoutMeshKeepsThePreviousOne) {
    Engine engine;
    const auto dir = tempDir("load");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(engine.loadMesh(writeFile(dir / "box.obj", boxObj(0, 0, 0, 4, 2, 1))).ok);
    const MeshLoadResult empty = engine.loadMesh(writeFile(dir / "empty.obj", "# only a comment\nvt 0 1\n"));
    const MeshLoadResult missing = engine.loadMesh((dir / "missing.obj").string());
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(empty.ok);
    EXPECT_NE(empty.errorText().find("empty.obj"), std::string::npos) << empty.errorText();
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.errorText().find("missing.obj"), std::string::npos) << missing.errorText();
    EXPECT_EQ(engine.mesh().vertexCount, 8);
    EXPECT_FLOAT_EQ(engine.meshExtent(), 4.0f);
    EXPECT_FLOAT_EQ(engine.mesh().corners[1].x, 1024.0f);
}

}  // namespace
}  // namespace kubelmar::test
