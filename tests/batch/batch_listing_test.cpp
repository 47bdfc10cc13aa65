#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "batch/mesh_listing.h"

namespace fs = std::filesystem;

TEST(BatchListing, UnreadableEntriesAreReportedNotSkipped) {
    const fs::path dir = fs::temp_directory_path() / ("kubelmar-batch-links-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.obj");
    std::ofstream(dir / "good.obj") << "v 0 0 0\n";
    fs::create_symlink("good.obj", dir / "link.obj");            // a working link is a file
    fs::create_symlink("missing.obj", dir / "dangling.obj");     // ENOENT
    fs::create_symlink("loop-b.obj", dir / "Loop-a.obj");        // ELOOP
    fs::create_symlink("Loop-a.obj", dir / "loop-b.obj");
    fs::create_symlink("missing.obj", dir / "dangling.txt");     // not an OBJ name: not ours to report
    fs::create_symlink("folder.obj", dir / "to-folder.obj");     // a folder: left out, as before

    std::vector<std::string> files;
    std::vector<kubelmar::UnreadableEntry> unreadable;
    ASSERT_TRUE(kubelmar::listMeshFiles(dir.string(), files, unreadable, nullptr));
    EXPECT_EQ(files, (std::vector<std::string>{(dir / "good.obj").string(), (dir / "link.obj").string()}));
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable[0].path, (dir / "dangling.obj").string());
    EXPECT_EQ(unreadable[0].reason, "No such file or directory");
    EXPECT_EQ(unreadable[1].path, (dir / "Loop-a.obj").string());
    EXPECT_EQ(unreadable[1].reason, "Too many levels of symbolic links");
    EXPECT_EQ(unreadable[2].path, (dir / "loop-b.obj").string());
    fs::remove_all(dir);
}
