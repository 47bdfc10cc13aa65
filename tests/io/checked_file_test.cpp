#include "io/checked_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

TEST(CheckedFile, WritesAndReportsSuccess) {
    const fs::path path = fs::temp_directory_path() / ("kubelmar-checked-" + std::to_string(getpid()));
    kubelmar::CheckedFile file;
    ASSERT_TRUE(file.open(path.string()).ok);
    EXPECT_TRUE(file.write("abc", 3));
    EXPECT_EQ(std::fputs("def", file.file()), 1);  // a stdio writer sharing the file
    EXPECT_TRUE(file.finish().ok);
    EXPECT_EQ(fs::file_size(path), 6u);
    fs::remove(path);
}

TEST(CheckedFile, FailureSeenOnlyAtFlushTimeFailsTheFile) {
    // /dev/full takes every fwrite into stdio's buffer and fails the flush.
    kubelmar::CheckedFile file;
    ASSERT_TRUE(file.open("/dev/full").ok);
    EXPECT_TRUE(file.write("small", 5));
    const kubelmar::IoResult result = file.finish();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message(), "/dev/full: No space left on device");
}

TEST(CheckedFile, OpenFailureNamesThePath) {
    kubelmar::CheckedFile file;
    const kubelmar::IoResult opened = file.open("/nonexistent-dir/x.png");
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.path, "/nonexistent-dir/x.png");
    EXPECT_FALSE(file.write("x", 1));
    EXPECT_EQ(file.finish().message(), opened.message());
}
