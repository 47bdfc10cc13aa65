#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "batch/batch_plan.h"
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
    ASSERT_EQ(mkfifo((dir / "pipe.stl").c_str(), 0600), 0);     // would block a reader forever
    fs::create_symlink("/dev/null", dir / "null.ply");           // a link to a device

    std::vector<std::string> files;
    std::vector<kubelmar::UnreadableEntry> unreadable;
    ASSERT_TRUE(kubelmar::listMeshFiles(dir.string(), files, unreadable, nullptr));
    EXPECT_EQ(files, (std::vector<std::string>{(dir / "good.obj").string(), (dir / "link.obj").string()}));
    ASSERT_EQ(unreadable.size(), 5u);
    EXPECT_EQ(unreadable[0].path, (dir / "dangling.obj").string());
    EXPECT_EQ(unreadable[0].reason, "No such file or directory");
    EXPECT_EQ(unreadable[1].path, (dir / "Loop-a.obj").string());
    EXPECT_EQ(unreadable[1].reason, "Too many levels of symbolic links");
    EXPECT_EQ(unreadable[2].path, (dir / "loop-b.obj").string());
    EXPECT_FALSE(unreadable[2].notAFile);
    // Not files at all: passed over with the reason, not failed.
    EXPECT_EQ(unreadable[3].path, (dir / "null.ply").string());
    EXPECT_EQ(unreadable[3].reason, "not a regular file (a character device)");
    EXPECT_EQ(unreadable[4].path, (dir / "pipe.stl").string());
    EXPECT_EQ(unreadable[4].reason, "not a regular file (a FIFO)");
    EXPECT_TRUE(unreadable[3].notAFile && unreadable[4].notAFile);
    kubelmar::BatchRequest request;
    request.directory = dir.string();
    const kubelmar::BatchPlan plan = kubelmar::planBatch(request);
    ASSERT_EQ(plan.unreadable.size(), 5u);
    EXPECT_EQ(plan.unreadable[0].status, kubelmar::RunReport::Status::Failed);
    EXPECT_EQ(plan.unreadable[3].status, kubelmar::RunReport::Status::Skipped);
    EXPECT_EQ(plan.unreadable[4].warningTexts(),
              std::vector<std::string>{(dir / "pipe.stl").string() + ": skipped: not a regular file (a FIFO)"});
    fs::remove_all(dir);
}
