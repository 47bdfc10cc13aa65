#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace kubelmar {
namespace {

bool parse(std::vector<const char*> args, CliOptions& options, std::string* error = nullptr) {
    args.insert(args.begin(), "kubelmar-cli");
    return parseCliOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CliOptions, DefaultsMatchTheDesktopStartUp) {
    CliOptions o;
    ASSERT_TRUE(parse({"in.obj", "out"}, o));
    EXPECT_EQ(o.mode, 1);
    EXPECT_EQ(o.size, 512);
    EXPECT_EQ(o.input, "in.obj");
    EXPECT_EQ(o.output, "out");
}

TEST(CliOptions, ModesSizesAndBatch) {
    CliOptions o;
    ASSERT_TRUE(parse({"--mode", "depth", "--size", "64", "--quiet", "a.obj", "b"}, o));
    EXPECT_EQ(o.mode, 0);
    EXPECT_EQ(o.size, 64);
    EXPECT_TRUE(o.quiet);
    CliOptions b;
    ASSERT_TRUE(parse({"--batch", "dir", "--size", "1024"}, b));
    EXPECT_EQ(b.command, CliOptions::Command::Batch);
    EXPECT_EQ(b.batchDir, "dir");
    EXPECT_EQ(b.size, 1024);
}

TEST(CliOptions, RejectsWhatItCannotDo) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(parse({"--size", "4097", "a", "b"}, o, &error));
    EXPECT_NE(error.find("4097"), std::string::npos);
    EXPECT_FALSE(parse({"--mode"}, o, &error));
    EXPECT_FALSE(parse({"a.obj"}, o, &error));
    EXPECT_FALSE(parse({"a", "b", "c"}, o, &error));
    EXPECT_FALSE(parse({"--frobnicate", "a", "b"}, o, &error));
    EXPECT_FALSE(parse({"--batch", "d", "extra"}, o, &error));
}

}  // namespace
}  // namespace kubelmar
