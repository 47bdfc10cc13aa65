#include "io/output_stage.h"

#include "formats/stack_files.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using kubelmar::IoResult;
using kubelmar::OutputStage;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Everything under `root`, hidden entries included: relative path -> "dir"
// or the file's bytes.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        entries[name] = entry.is_directory() ? "dir" : "file:" + readFile(entry.path());
    }
    return entries;
}

// A pid that surely names no process: a child that has exited and been reaped.
long deadPid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

std::string slice(int z) {
    char name[32];
    std::snprintf(name, sizeof name, "slice1%05d.png", z);
    return name;
}

class OutputStageTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kubelmar-stage-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        out_ = root_ / "out";
    }
    void TearDown() override { fs::remove_all(root_); }

    // An earlier run's stack of `slices` slices plus files that are not its own.
    void writeOldStack(int slices) {
        fs::create_directories(out_ / "notes");
        for (int z = 0; z < slices; ++z) writeFile(out_ / slice(z), "old " + std::to_string(z));
        writeFile(out_ / "voxelscale.txt", "old scale");
        writeFile(out_ / "bunny.vox", "old vox");
        // Foreign: near misses of the owned names, another stem, a folder.
        for (const char* name : {"readme.txt", "slice1.png", "slice100000.png.bak", "other.vox", "bunny.obj"})
            writeFile(out_ / name, std::string("foreign ") + name);
        writeFile(out_ / "notes" / slice(0), "inside a folder");
    }

    IoResult stageNew(OutputStage& stage, int slices) {
        IoResult opened = stage.open(out_.string(), kubelmar::stackOwnedNames("bunny"));
        if (!opened.ok) return opened;
        for (int z = 0; z < slices; ++z) writeFile(stage.path(slice(z)), "new " + std::to_string(z));
        return {};
    }

    fs::path root_;
    fs::path out_;
};

TEST_F(OutputStageTest, CommitReplacesTheOldStackAndKeepsForeignFiles) {
    writeOldStack(8);
    const auto before = snapshot(out_);

    OutputStage stage;
    ASSERT_TRUE(stageNew(stage, 3).ok);
    writeFile(stage.path("bunny.npy"), "new npy");
    // Nothing shows in OUTDIR until the commit.
    EXPECT_EQ(readFile(out_ / slice(0)), "old 0");
    const IoResult committed = stage.commit();
    ASSERT_TRUE(committed.ok) << committed.message();
    EXPECT_FALSE(stage.isOpen());

    auto after = snapshot(out_);
    std::map<std::string, std::string> expected;
    for (const auto& [name, content] : before)
        if (!kubelmar::isStackFileName(name, "bunny")) expected[name] = content;
    for (int z = 0; z < 3; ++z) expected[slice(z)] = "file:new " + std::to_string(z);
    expected["bunny.npy"] = "file:new npy";
    EXPECT_EQ(after, expected);  // no old slice 3..7, scale or vox; no hidden folder
}

TEST_F(OutputStageTest, CommitCreatesMissingFolders) {
    out_ = root_ / "a" / "b" / "out";
    OutputStage stage;
    ASSERT_TRUE(stageNew(stage, 2).ok);
    ASSERT_TRUE(stage.commit().ok);
    EXPECT_EQ(snapshot(out_).size(), 2u);
}

TEST_F(OutputStageTest, AbortAndDestructorLeaveOutdirAsItWas) {
    writeOldStack(4);
    const auto before = snapshot(out_);
    {
        OutputStage stage;
        ASSERT_TRUE(stageNew(stage, 6).ok);
        stage.abort();
        EXPECT_FALSE(stage.isOpen());
    }
    EXPECT_EQ(snapshot(out_), before);
    {
        OutputStage stage;
        ASSERT_TRUE(stageNew(stage, 6).ok);
    }  // destroyed without a commit: a cancel or an error return
    EXPECT_EQ(snapshot(out_), before);

    // A folder the stage created is removed again.
    out_ = root_ / "new" / "out";
    {
        OutputStage stage;
        ASSERT_TRUE(stageNew(stage, 1).ok);
    }
    EXPECT_FALSE(fs::exists(root_ / "new"));
}

TEST_F(OutputStageTest, FailedCommitsLeaveOutdirAsItWas) {
    writeOldStack(2);
    // A folder stands where the new slice 2 goes; found before anything moves.
    fs::create_directories(out_ / slice(2) / "inside");
    const auto before = snapshot(out_);
    OutputStage stage;
    ASSERT_TRUE(stageNew(stage, 5).ok);
    IoResult committed = stage.commit();
    EXPECT_FALSE(committed.ok);
    EXPECT_EQ(committed.path, (out_ / slice(2)).string());
    EXPECT_EQ(snapshot(out_), before);

    // A staged file with a name the stack does not own could never be
    // removed by a later run: refused.
    ASSERT_TRUE(stage.open(out_.string(), kubelmar::stackOwnedNames("bunny")).ok);
    writeFile(stage.path("notes.txt"), "x");
    committed = stage.commit();
    EXPECT_FALSE(committed.ok);
    EXPECT_NE(committed.reason.find("not a file name"), std::string::npos) << committed.message();
    EXPECT_EQ(snapshot(out_), before);
}

TEST_F(OutputStageTest, StaleStagesOfDeadProcessesAreRemoved) {
    writeOldStack(2);
    // A run killed while writing: a child stages files and dies uncommitted.
    const pid_t child = fork();
    if (child == 0) {
        OutputStage stage;
        if (!stage.open(out_.string(), kubelmar::stackOwnedNames("bunny")).ok) _exit(1);
        writeFile(stage.path(slice(0)), "half written");
        _exit(0);  // no destructors: as if killed
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const std::string living = ".kubelmar-tmp-" + std::to_string(getppid()) + "-0";
    fs::create_directories(out_ / living);
    auto before = snapshot(out_);
    std::string childStage;
    for (const auto& [name, content] : before)
        if (name.rfind(".kubelmar-tmp-" + std::to_string(child) + "-", 0) == 0 && content == "dir") childStage = name;
    ASSERT_FALSE(childStage.empty());

    OutputStage stage;
    ASSERT_TRUE(stage.open(out_.string(), kubelmar::stackOwnedNames("bunny")).ok);
    stage.abort();
    before.erase(childStage);
    before.erase(childStage + "/" + slice(0));
    EXPECT_EQ(snapshot(out_), before);  // the old stack as it was; a live run's stage left alone
}

TEST_F(OutputStageTest, CommitInterruptedByAKillIsFinishedByTheNextOpen) {
    writeOldStack(4);
    // The state a kill leaves halfway through moving the new files in: the
    // record lists new names (slices 0, 1) then old ones; the old files are
    // in .old, slice 0 is in place, slice 1 still staged.
    const fs::path stale = out_ / (".kubelmar-tmp-" + std::to_string(deadPid()) + "-0");
    fs::create_directories(stale / ".old");
    std::string record = slice(0) + '\0' + slice(1) + '\0' + '\0';
    for (const std::string& name : {slice(0), slice(1), slice(2), slice(3), std::string("voxelscale.txt")}) {
        record += name + '\0';
        if (name != slice(3)) fs::rename(out_ / name, stale / ".old" / name);
    }
    writeFile(stale / ".commit", record);
    writeFile(out_ / slice(0), "new 0");
    writeFile(stale / slice(1), "new 1");

    OutputStage stage;
    ASSERT_TRUE(stage.open(out_.string(), kubelmar::stackOwnedNames("bunny")).ok);
    stage.abort();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(readFile(out_ / slice(0)), "new 0");
    EXPECT_EQ(readFile(out_ / slice(1)), "new 1");
    EXPECT_FALSE(fs::exists(out_ / slice(2)));
    EXPECT_FALSE(fs::exists(out_ / slice(3)));  // old, never moved out before the kill
    EXPECT_FALSE(fs::exists(out_ / "voxelscale.txt"));
    EXPECT_TRUE(fs::exists(out_ / "bunny.vox"));  // owned but not in the record: left
    EXPECT_TRUE(fs::exists(out_ / "readme.txt"));
}

// The per-material stacks are a folder the stack owns: replaced whole, removed
// by a run without it, and a folder of another name is never touched; a
// kill before the old folder moved out is finished by the next open.
TEST_F(OutputStageTest, AnOwnedFolderIsReplacedWholeAndOthersAreLeft) {
    writeOldStack(2);
    fs::create_directories(out_ / "materials" / "cyan");
    writeFile(out_ / "materials" / "cyan" / slice(0), "old cyan");
    fs::create_directories(out_ / "materialsx");
    writeFile(out_ / "materialsx" / "keep", "mine");
    auto open = [&](OutputStage& stage) {
        return stage.open(out_.string(), kubelmar::stackOwnedNames("bunny"), kubelmar::isStackFolderName);
    };
    OutputStage stage;
    ASSERT_TRUE(open(stage).ok);
    fs::create_directories(stage.path("materials/red"));
    writeFile(stage.path("materials/red/" + slice(0)), "new red");
    ASSERT_TRUE(stage.commit().ok);
    EXPECT_EQ(readFile(out_ / "materials" / "red" / slice(0)), "new red");
    EXPECT_FALSE(fs::exists(out_ / "materials" / "cyan"));
    EXPECT_EQ(readFile(out_ / "materialsx" / "keep"), "mine");

    // A folder the rule does not own still fails the commit.
    ASSERT_TRUE(open(stage).ok);
    fs::create_directories(stage.path("extra"));
    EXPECT_FALSE(stage.commit().ok);
    EXPECT_EQ(readFile(out_ / "materials" / "red" / slice(0)), "new red");

    ASSERT_TRUE(open(stage).ok);
    writeFile(stage.path(slice(0)), "plain");
    ASSERT_TRUE(stage.commit().ok);
    EXPECT_FALSE(fs::exists(out_ / "materials"));
    EXPECT_EQ(readFile(out_ / "materialsx" / "keep"), "mine");

    // Killed right after the record was written: nothing moved yet.
    fs::create_directories(out_ / "materials" / "old");
    const fs::path stale = out_ / (".kubelmar-tmp-" + std::to_string(deadPid()) + "-0");
    fs::create_directories(stale / "materials" / "new");
    writeFile(stale / "materials" / "new" / slice(0), "new");
    writeFile(stale / ".commit", std::string("materials") + '\0' + '\0' + "materials" + '\0');
    ASSERT_TRUE(open(stage).ok);
    stage.abort();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(readFile(out_ / "materials" / "new" / slice(0)), "new");
    EXPECT_FALSE(fs::exists(out_ / "materials" / "old"));
}

// A full disk, on a small tmpfs of its own (needs root; skipped otherwise).
class FullDiskTest : public OutputStageTest {
protected:
    void SetUp() override {
        OutputStageTest::SetUp();
        disk_ = root_ / "disk";
        fs::create_directories(disk_);
        if (mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount a tmpfs";
        mounted_ = true;
        out_ = disk_ / "out";
    }
    void TearDown() override {
        if (mounted_) umount(disk_.c_str());
        OutputStageTest::TearDown();
    }
    // Fills the disk; the stream reports the first failed write.
    static bool fill(const fs::path& path) {
        std::ofstream out(path, std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 1000 && out; ++i) out.write(block.data(), block.size()), out.flush();
        return !out;
    }
    fs::path disk_;
    bool mounted_ = false;
};

TEST_F(FullDiskTest, WriterRunningOutOfSpaceLeavesTheOldStack) {
    writeOldStack(4);
    const auto before = snapshot(out_);
    OutputStage stage;
    ASSERT_TRUE(stageNew(stage, 2).ok);
    ASSERT_TRUE(fill(stage.path(slice(2))));  // the writer sees ENOSPC and gives up
    stage.abort();
    EXPECT_EQ(snapshot(out_), before);
}

TEST_F(FullDiskTest, CommitOnAFullDiskFailsAndLeavesTheOldStack) {
    writeOldStack(4);
    const auto before = snapshot(out_);
    OutputStage stage;
    ASSERT_TRUE(stageNew(stage, 6).ok);
    ASSERT_TRUE(fill(disk_ / "filler"));  // no room left for the commit record
    const IoResult committed = stage.commit();
    ASSERT_FALSE(committed.ok);
    EXPECT_EQ(committed.reason, "No space left on device") << committed.message();
    EXPECT_EQ(snapshot(out_), before);
}

}  // namespace
