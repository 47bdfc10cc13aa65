#include "formats/stack_files.h"

#include <gtest/gtest.h>

namespace kubelmar {
namespace {

VolumeInfo volumeOf(int n, VoxelMode mode) {
    VolumeInfo info;
    setCubeGrid(info, n, 1.0f);
    info.mode = mode;
    return info;
}

TEST(StackFiles, OwnsOnlyTheStacksOwnNames) {
    for (const char* name : {"slice100000.png", "slice199999.png", "voxelscale.txt", "volume.json", "bunny.binvox",
                             "bunny.nrrd", "bunny.npy", "bunny.vox", "bunny.vdb"})
        EXPECT_TRUE(isStackFileName(name, "bunny")) << name;
    for (const char* name : {"slice10000.png", "slice1000000.png", "slice10000a.png", "slice200000.png",
                             "Slice100000.png", "slice100000.PNG", "bunny.obj", "bunnyx.vox", "other.vox",
                             "bunny.vox.bak", "bunny.png", "bunny.", ".vox", "voxelscale.txt~", "volume.json.part", ""})
        EXPECT_FALSE(isStackFileName(name, "bunny")) << name;
    EXPECT_FALSE(isStackFileName(".vox", ""));
    EXPECT_TRUE(stackOwnedNames("bunny")("bunny.npy"));
    EXPECT_FALSE(stackOwnedNames("bunny")("other.npy"));
}

TEST(StackFiles, ARunListsWhatItWritesAndOwnsAllOfIt) {
    const std::vector<OutputFormat> all(allFormats().begin(), allFormats().end());
    const std::vector<std::string> names = stackFileNames(all, volumeOf(2, VoxelMode::Clipping), "bunny");
    EXPECT_EQ(names, (std::vector<std::string>{"slice100000.png", "slice100001.png", "voxelscale.txt", "bunny.binvox",
                                               "bunny.nrrd", "bunny.npy", "bunny.vox", "bunny.vdb", "volume.json"}));
    // A file a run writes but does not own would be refused by the stage.
    for (const std::string& name : names) EXPECT_TRUE(isStackFileName(name, "bunny")) << name;

    // No png: no slices and no scale, whatever the mode; volume.json always.
    EXPECT_EQ(stackFileNames({OutputFormat::Npy}, volumeOf(4, VoxelMode::Clipping), "bunny"),
              (std::vector<std::string>{"bunny.npy", "volume.json"}));
    EXPECT_EQ(stackFileNames({OutputFormat::Png}, volumeOf(1, VoxelMode::DepthBuffer), "b"),
              (std::vector<std::string>{"slice100000.png", "volume.json"}));
}

}  // namespace
}  // namespace kubelmar
