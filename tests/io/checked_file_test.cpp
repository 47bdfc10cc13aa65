#include "io/checked_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CheckedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kubelmar-checked-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = (dir_ / "report.json").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The folder's entries: a discarded temporary would show here.
    std::size_t entries() const { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); }

    fs::path dir_;
    std::string target_;
};

TEST_F(CheckedFileTest, SmallAndLargeWritesArriveInOrderInBothModes) {
    // Small writes are buffered, a large one goes straight out: the buffer
    // must be written before it, and what follows after it.
    std::string big(CheckedFile::kBufferBytes + 17, 'b');
    for (std::size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>('0' + i % 10);
    std::string expected;
    for (FileCommit commit : {FileCommit::InPlace, FileCommit::Replace}) {
        CheckedFile file;
        ASSERT_TRUE(file.open(target_, commit).ok);
        expected.clear();
        for (const std::string& piece : {std::string("head "), big, std::string(" mid "),
                                         std::string(CheckedFile::kBufferBytes - 3, 'c'), std::string(" tail")}) {
            EXPECT_TRUE(file.write(piece));
            expected += piece;
        }
        const IoResult done = file.finish();
        ASSERT_TRUE(done.ok) << done.message();
        EXPECT_TRUE(readFile(target_) == expected);
        EXPECT_EQ(entries(), 1u);  // no temporary left beside it
    }
}

TEST_F(CheckedFileTest, AFullDiskFoundOnlyAtFinishFailsTheFile) {
    // /dev/full takes the open and fails the first write, which the buffer
    // puts off until finish().
    CheckedFile file;
    ASSERT_TRUE(file.open("/dev/full").ok);
    EXPECT_TRUE(file.write("small", 5));
    const IoResult result = file.finish();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message(), "/dev/full: No space left on device");
    EXPECT_TRUE(fs::exists("/dev/full"));  // a failed in-place file is never unlinked
}

TEST_F(CheckedFileTest, AReplacementThatFailsToFlushLeavesTheOldFile) {
    // A file-size limit makes the flush in finish() fail part-way, as a disk
    // filling up would; the old report must stay and no temporary remain.
    ASSERT_TRUE(writeWholeFile(target_, "old report", FileCommit::Replace).ok);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1000;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of a kill
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CheckedFile file;
    const bool opened = file.open(target_, FileCommit::Replace).ok;
    const bool buffered = file.write(std::string(5000, 'x'));
    const IoResult result = file.finish();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(opened);
    EXPECT_TRUE(buffered);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.path, target_);
    EXPECT_EQ(result.reason, "File too large");
    EXPECT_EQ(readFile(target_), "old report");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(CheckedFileTest, AFailedRenameNamesTheDestinationAndRemovesTheTemporary) {
    fs::create_directories(fs::path(target_) / "in the way");
    const IoResult result = writeWholeFile(target_, "text", FileCommit::Replace);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.path, target_);
    EXPECT_TRUE(fs::is_directory(target_));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(CheckedFileTest, ACallersFailureOrNoFinishLeavesNothingInPlace) {
    ASSERT_TRUE(writeWholeFile(target_, "old", FileCommit::Replace).ok);
    {
        CheckedFile file;
        ASSERT_TRUE(file.open(target_, FileCommit::Replace).ok);
        file.write("new");
        file.fail("gzip compression failed");
        EXPECT_FALSE(file.write("more"));
        const IoResult result = file.finish();
        EXPECT_EQ(result.message(), target_ + ": gzip compression failed");
    }
    {
        CheckedFile file;  // abandoned: the destructor discards it
        ASSERT_TRUE(file.open(target_, FileCommit::Replace).ok);
        file.write("new");
    }
    EXPECT_EQ(readFile(target_), "old");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(CheckedFileTest, OpenFailureNamesTheDestinationInBothModes) {
    for (FileCommit commit : {FileCommit::InPlace, FileCommit::Replace}) {
        const std::string path = (dir_ / "missing" / "x.png").string();
        CheckedFile file;
        const IoResult opened = file.open(path, commit);
        EXPECT_FALSE(opened.ok);
        EXPECT_EQ(opened.message(), path + ": No such file or directory");
        EXPECT_FALSE(file.write("x", 1));
        EXPECT_EQ(file.finish().message(), opened.message());
    }
}

}  // namespace
}  // namespace kubelmar
