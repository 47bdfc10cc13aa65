// The command line as a script would use it: exit status, messages, files.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <sys/wait.h>

#include "gl_test_support.h"

namespace kubelmar::test {
namespace {

struct CliRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

CliRun runCli(const std::string& arguments, const std::string& environment = "") {
    CliRun run;
    std::string command = environment.empty() ? "" : environment + " ";
    command += KUBELMAR_CLI;
    command.append(" ").append(arguments).append(" 2>&1 </dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string shellQuote(const std::filesystem::path& p) {
    std::string quoted = p.string();
    quoted.insert(quoted.begin(), '\'');
    quoted.push_back('\'');
    return quoted;
}

TEST(Cli, BadArgumentsExitWithUsage) {
    CliRun run = runCli("");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("Usage: kubelmar-cli"), std::string::npos);
    EXPECT_EQ(runCli("--size 4097 a.obj out").status, 2);
    EXPECT_EQ(runCli("--size 0 a.obj out").status, 2);
    EXPECT_EQ(runCli("--depth-precision half a.obj out").status, 2);
    EXPECT_EQ(runCli("--mode fancy a.obj out").status, 2);
    EXPECT_EQ(runCli("--help").status, 0);
}

TEST(Cli, UnreadableMeshFailsNamingTheFile) {
    const auto dir = tempDir("cli");
    CliRun run = runCli(shellQuote(dir / "absent.obj") + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("absent.obj"), std::string::npos) << run.output;
    writeFile(dir / "empty.obj", "# nothing here\n");
    run = runCli(shellQuote(dir / "empty.obj") + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("empty.obj"), std::string::npos) << run.output;
}

TEST(Cli, VoxelizesTheSampleIntoANewDirectory) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    const auto out = dir / "nested" / "out";
    CliRun run = runCli("--mode clipping --size 64 --quiet " + shellQuote(std::string(KUBELMAR_SAMPLES_DIR) + "/bunny.obj") +
                     " " + shellQuote(out));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");  // --quiet
    EXPECT_TRUE(std::filesystem::exists(out / "slice100063.png"));
    EXPECT_FALSE(std::filesystem::exists(out / "slice100064.png"));
    EXPECT_TRUE(std::filesystem::exists(out / "voxelscale.txt"));
}

TEST(Cli, VoxelScaleIsTheLargestSideOverN) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    // 100 units along z, less along x and y: 100 / 64 per voxel.
    const std::string mesh = writeFile(dir / "box.obj", boxObj(-3, 2, -50, 10, 40, 50));
    CliRun run = runCli("--size 64 --quiet " + shellQuote(mesh) + " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0) << run.output;
    std::ifstream in(dir / "out" / "voxelscale.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "x 1.5625\ny 1.5625\nz 1.5625\n");
}

// Counts the slice files of a folder.
int sliceCount(const std::filesystem::path& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        count += entry.path().filename().string().rfind("slice1", 0) == 0;
    return count;
}

TEST(Cli, ARunReplacesTheEarlierStackWholeOrNotAtAll) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    const std::string mesh = writeFile(dir / "box.obj", boxObj(0, 0, 0, 2, 1, 1));
    const auto out = dir / "out";
    ASSERT_EQ(runCli("--size 64 --quiet " + shellQuote(mesh) + " " + shellQuote(out)).status, 0);
    writeFile(out / "notes.txt", "mine");
    // A smaller run leaves no slice of the larger one behind.
    ASSERT_EQ(runCli("--size 32 --quiet " + shellQuote(mesh) + " " + shellQuote(out)).status, 0);
    EXPECT_EQ(sliceCount(out), 32);
    // A depth run takes the clipping run's voxelscale.txt away with its stack.
    ASSERT_EQ(runCli("--mode depth --size 24 --quiet " + shellQuote(mesh) + " " + shellQuote(out)).status, 0);
    EXPECT_EQ(sliceCount(out), 24);
    EXPECT_FALSE(std::filesystem::exists(out / "voxelscale.txt"));
    EXPECT_TRUE(std::filesystem::exists(out / "volume.json"));
    // A folder where a slice goes fails the run, which changes nothing.
    std::filesystem::create_directories(out / "slice100030.png");
    const CliRun failed = runCli("--size 40 --quiet " + shellQuote(mesh) + " " + shellQuote(out));
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.output.find("slice100030.png"), std::string::npos) << failed.output;
    EXPECT_EQ(sliceCount(out), 25);  // the 24 slices and the folder
    EXPECT_TRUE(std::filesystem::exists(out / "notes.txt"));  // never anyone else's files
    for (const auto& entry : std::filesystem::directory_iterator(out))
        EXPECT_NE(entry.path().filename().string().rfind(".kubelmar-tmp-", 0), 0u) << entry.path();
}

TEST(Cli, UnwritableOutputExitsNonZero) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    writeFile(dir / "file", "x");
    CliRun run = runCli("--size 64 " + shellQuote(std::string(KUBELMAR_SAMPLES_DIR) + "/bunny.obj") + " " +
                     shellQuote(dir / "file" / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("file/out"), std::string::npos) << run.output;
}

TEST(Cli, BatchGoesOnPastABadFileAndReportsIt) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("batch");
    const std::string box = boxObj(0, 0, 0, 1, 1, 1);
    writeFile(dir / "b.obj", box);
    writeFile(dir / "A.OBJ", box);
    writeFile(dir / "c.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n");  // no extent
    std::filesystem::create_directories(dir / "folder.obj");
    CliRun run = runCli("--mode depth --size 64 --batch " + shellQuote(dir));
    EXPECT_EQ(run.status, 1) << run.output;
    const auto a = run.output.find("Voxelized: " + (dir / "A.OBJ").string());
    const auto b = run.output.find("Voxelized: " + (dir / "b.obj").string());
    ASSERT_NE(a, std::string::npos) << run.output;
    ASSERT_NE(b, std::string::npos) << run.output;
    EXPECT_LT(a, b);
    EXPECT_NE(run.output.find("c.obj"), std::string::npos);
    EXPECT_NE(run.output.find("Batch: 2 done, 1 failed"), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::exists(dir / "A" / "slice100063.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "b" / "slice100000.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "folder"));
}

}  // namespace
}  // namespace kubelmar::test

namespace kubelmar::test {
namespace {

TEST(Cli, MissingExtensionExitsWithStatusOneWithoutWaiting) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("ext");
    // Mesa drivers drop an extension on request; stdin is /dev/null, so the
    // program must not wait for a key.
    CliRun run = runCli("--size 64 " + shellQuote(std::string(KUBELMAR_SAMPLES_DIR) + "/bunny.obj") + " " +
                        shellQuote(dir / "out"), "MESA_EXTENSION_OVERRIDE=-GL_ARB_shadow");
    if (run.status == 0) GTEST_SKIP() << "this driver ignores MESA_EXTENSION_OVERRIDE";
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("EXT: Using: GL_ARB_depth_texture\nERROR: Extension not supported: GL_ARB_shadow\n"
                              "ERROR: GL_ARB_shadow extension not available... [load_GLextension(), GL_Ext_Loader]"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Press Enter"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "slice100000.png"));
}

TEST(Cli, NoOpenGLAtAllIsReportedCleanly) {
    // glvnd finds no EGL driver through a vendor list that doesn't exist.
    const auto dir = tempDir("noegl");
    CliRun run = runCli("--size 64 " + shellQuote(std::string(KUBELMAR_SAMPLES_DIR) + "/bunny.obj") + " " +
                            shellQuote(dir / "out"),
                        "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("kubelmar-cli: no OpenGL context"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace kubelmar::test
