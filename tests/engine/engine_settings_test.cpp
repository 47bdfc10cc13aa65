#include <gtest/gtest.h>

#include <fstream>

#include "gl_test_support.h"
#include "voxel/volume.h"

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

TEST(VoxelSize, RefusedAllocationKeepsTheOldVolumeAndSize) {
    Engine engine;
    Recorder progress;
    ASSERT_TRUE(engine.setVoxelSize(64, progress, nullptr));
    engine.voxels.row(3, 4)[5] = 77;
    VoxelVolume::setAllocationLimitForTesting(3u * 64 * 64 * 64);
    std::string error;
    EXPECT_FALSE(engine.setVoxelSize(128, progress, &error));
    VoxelVolume::setAllocationLimitForTesting(0);
    EXPECT_EQ(engine.voxelSize, 64);
    EXPECT_EQ(engine.voxels.size(), 64);
    EXPECT_EQ(engine.voxels.row(3, 4)[5], 77);
    EXPECT_NE(error.find("128"), std::string::npos);
    // The depth views' target is 1024 x 1024: nothing larger, nothing empty.
    EXPECT_FALSE(engine.setVoxelSize(2048, progress, &error));
    EXPECT_FALSE(engine.setVoxelSize(0, progress, &error));
    EXPECT_EQ(engine.voxelSize, 64);
}

TEST(VoxelSize, ResizingShowsTheStepAndClears) {
    Engine engine;
    Recorder progress;
    ASSERT_TRUE(engine.setVoxelSize(128, progress, nullptr));
    EXPECT_TRUE(progress.calls.empty());  // nothing to free the first time
    engine.voxels.row(1, 1)[1] = 9;
    ASSERT_TRUE(engine.setVoxelSize(128, progress, nullptr));
    EXPECT_EQ(engine.voxels.row(1, 1)[1], 0);
    ASSERT_TRUE(engine.setVoxelSize(64, progress, nullptr));
    const std::vector<std::string> expected = {"begin Adjusting Voxel Storage... 128", "end",
                                               "begin Adjusting Voxel Storage... 128", "end"};
    EXPECT_EQ(progress.calls, expected);
    EXPECT_EQ(engine.voxels.byteCount(), 3u * 64 * 64 * 64);
}

TEST(Voxelize, ClippingRunReportsItsStepsAndGridLines) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, kModeClipping);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 0.5f, 0.25f)));
    f.log.str("");
    Recorder progress;
    std::filesystem::create_directories(f.dir / "s");
    ASSERT_TRUE(f.engine.voxelize((f.dir / "s").string(), progress).ok);
    const std::vector<std::string> steps = {
        "begin Slicing XY: (Step 1 of 4) 64", "end", "begin Slicing XZ: (Step 2 of 4) 64", "end",
        "begin Slicing YZ: (Step 3 of 4) 64", "end", "begin Saving Voxels: (Step 4 of 4) 64", "end"};
    EXPECT_EQ(progress.calls, steps);
    const std::string grid = "bb: 1024.000000, 512.000000, 2048.000000\nmaxdist: 2048.000000\nstep: 32.000000\n";
    EXPECT_EQ(f.log.str(), grid + grid + grid + grid);
    EXPECT_EQ(f.engine.outputDirectory, (f.dir / "s").string());
    // The view is left with the last pass's axis rotation (0, 90, 0).
    EXPECT_NEAR(f.engine.arcBall.transform.m[8], 1.0f, 1e-6);
    EXPECT_NEAR(f.engine.arcBall.thisRot.m[6], 1.0f, 1e-6);
}

TEST(Voxelize, DepthRunReportsItsThreeSteps) {
    KUBELMAR_REQUIRE_GL();
    EngineFixture f(64, kModeDepthBuffer);
    ASSERT_TRUE(f.ready);
    ASSERT_TRUE(f.load(boxObj(0, 0, 0, 1, 1, 1)));
    Recorder progress;
    std::filesystem::create_directories(f.dir / "s");
    const auto pictures = f.dir / "images";
    std::filesystem::create_directories(pictures);
    f.engine.depthImageDirectory = pictures.string();
    ASSERT_TRUE(f.engine.voxelize((f.dir / "s").string(), progress).ok);
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
    EXPECT_NE(empty.error.find("empty.obj"), std::string::npos) << empty.error;
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("missing.obj"), std::string::npos) << missing.error;
    EXPECT_EQ(engine.mesh.vertexCount, 8);
    EXPECT_FLOAT_EQ(engine.meshExtent, 4.0f);
    EXPECT_FLOAT_EQ(engine.mesh.corners[1].x, 1024.0f);
}

}  // namespace
}  // namespace kubelmar::test
