#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "mesh/load_limits.h"
#include "mesh/reference_root.h"
#include "tests/support/temp_dir.h"

namespace kubelmar {
namespace {

TEST(LoadLimits, ByteSizesWithSuffixes) {
    std::uint64_t bytes = 0;
    ASSERT_TRUE(parseByteSize("2G", bytes));
    EXPECT_EQ(bytes, std::uint64_t{2} << 30);
    ASSERT_TRUE(parseByteSize("512m", bytes));
    EXPECT_EQ(bytes, std::uint64_t{512} << 20);
    ASSERT_TRUE(parseByteSize("64KiB", bytes));
    EXPECT_EQ(bytes, std::uint64_t{64} << 10);
    ASSERT_TRUE(parseByteSize("1048576", bytes));
    EXPECT_EQ(bytes, 1048576u);
    ASSERT_TRUE(parseByteSize("16777215T", bytes));
    EXPECT_EQ(bytes, std::uint64_t{16777215} << 40);
    for (const char* bad : {"", "G", "0", "0G", "-1G", "1.5G", "2X", "2GG", "16777216T", "99999999999999999999"})
        EXPECT_FALSE(parseByteSize(bad, bytes)) << bad;
}

TEST(LoadLimits, DefaultBudgetIsAShareOfMemory) {
    const std::uint64_t budget = LoadLimits::defaultMemoryBudget();
    EXPECT_GE(budget, std::uint64_t{64} << 20);
    EXPECT_LE(budget, std::uint64_t{8} << 30);
    EXPECT_EQ(LoadLimits().maxMemoryBytes, budget);
    EXPECT_EQ(describeBytes(std::uint64_t{8} << 30), "8 GiB");
    EXPECT_EQ(describeBytes(1536), "1.5 KiB");
    EXPECT_EQ(describeBytes(100), "100 bytes");
}

TEST(ReferenceRoot, OnlyFilesInsideTheMeshFolder) {
    test::TempDir dir;
    const std::string mesh = dir.write("models/m.obj", "");
    dir.write("models/sub/t.png", "x");
    dir.write("outside.mtl", "x");
    std::filesystem::create_symlink(dir.file("outside.mtl"), dir.file("models/link.mtl"));
    std::filesystem::create_symlink(dir.file("models/sub/t.png"), dir.file("models/inner.png"));
    ASSERT_EQ(mkfifo(dir.file("models/pipe").c_str(), 0600), 0);
    const std::string folder = dir.file("models");
    const ReferenceRoot root(mesh, LoadLimits());
    auto check = [&](const std::string& written) { return root.refusal(written, folder + "/" + written); };

    EXPECT_EQ(check("sub/t.png"), "");
    EXPECT_EQ(check("inner.png"), "");        // a link that stays inside
    EXPECT_EQ(check("missing.png"), "");      // the reader says it is missing
    EXPECT_EQ(check("sub/../sub/t.png"), "");
    EXPECT_NE(check("../outside.mtl").find("is outside the mesh's folder ("), std::string::npos);
    EXPECT_NE(check("../outside.mtl").find("; use --refs-root DIR or --refs any"), std::string::npos);
    EXPECT_NE(check("link.mtl").find("outside"), std::string::npos);
    EXPECT_NE(root.refusal("/etc/passwd", "/etc/passwd").find("is an absolute path"), std::string::npos);
    EXPECT_NE(check("../../../../../../../../etc/passwd").find("outside"), std::string::npos);
    EXPECT_EQ(check("pipe"), "is not a regular file");
    EXPECT_EQ(check("sub"), "is not a regular file");
    EXPECT_NE(check("file:///etc/passwd").find("is a URI (file:)"), std::string::npos);
    EXPECT_NE(check("http://example.com/a.bin").find("is a URI"), std::string::npos);

    // A wider root lets the parent in; "any" lets everything in but devices and URIs.
    LoadLimits wider;
    wider.referenceRoot = dir.path().string();
    EXPECT_EQ(ReferenceRoot(mesh, wider).refusal("../outside.mtl", folder + "/../outside.mtl"), "");
    LoadLimits any;
    any.anyReference = true;
    const ReferenceRoot anywhere(mesh, any);
    EXPECT_EQ(anywhere.refusal("link.mtl", folder + "/link.mtl"), "");
    EXPECT_EQ(anywhere.refusal("/dev/zero", "/dev/zero"), "is not a regular file");
    EXPECT_NE(anywhere.refusal("file:///etc/passwd", folder + "/file:///etc/passwd").find("URI"), std::string::npos);
}

TEST(ReferenceRoot, SchemesAreNotDriveLettersOrNames) {
    EXPECT_TRUE(hasUriScheme("file:///x"));
    EXPECT_TRUE(hasUriScheme("data:application/octet-stream;base64,AA=="));
    EXPECT_TRUE(hasUriScheme("svn+ssh://h/x"));
    EXPECT_FALSE(hasUriScheme("C:/textures/a.png"));
    EXPECT_FALSE(hasUriScheme("a.png"));
    EXPECT_FALSE(hasUriScheme("dir/x:y.png"));
    EXPECT_FALSE(hasUriScheme("1ab:x"));
}

}  // namespace
}  // namespace kubelmar
