#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "batch/mesh_listing.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

TEST(BatchOutput, StripsOnlyTheFinalExtensionInAnyCase) {
    EXPECT_EQ(batchOutputDirectory("/data/bunny.obj"), "/data/bunny/");
    EXPECT_EQ(batchOutputDirectory("/my.objects/chair.obj"), "/my.objects/chair/");
    EXPECT_EQ(batchOutputDirectory("/x/MODEL.OBJ"), "/x/MODEL/");
    EXPECT_EQ(batchOutputDirectory("/x/a.obj.obj"), "/x/a.obj/");
}

TEST(BatchListing, MatchesObjInAnyCaseSortedWithoutRegardToCase) {
    const fs::path dir = fs::temp_directory_path() / ("kubelmar-batch-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.obj");
    for (const char* name : {"c.obj", "b.obj", "A.obj", "MODEL.OBJ", ".hidden.obj", "notes.txt", "obj"})
        std::ofstream(dir / name) << "v 0 0 0\n";
    std::vector<std::string> files;
    std::vector<UnreadableEntry> unreadable;
    ASSERT_TRUE(listMeshFiles(dir.string(), files, unreadable, nullptr));
    const std::vector<std::string> expected = {(dir / "A.obj").string(), (dir / "b.obj").string(),
                                               (dir / "c.obj").string(), (dir / "MODEL.OBJ").string()};
    EXPECT_EQ(files, expected);
    std::string error;
    EXPECT_FALSE(listMeshFiles((dir / "nope").string(), files, unreadable, &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

TEST(BatchListing, NamesDifferingOnlyInCaseKeepAFixedOrder) {
    EXPECT_TRUE(batchNameLess("a.obj", "B.obj"));
    EXPECT_TRUE(batchNameLess("A.obj", "a.obj"));
    EXPECT_FALSE(batchNameLess("a.obj", "A.obj"));
}

}  // namespace
}  // namespace kubelmar
