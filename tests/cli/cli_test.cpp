// The command line as a script would use it: exit status, what reaches
// stdout and stderr, files.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>

#include "batch/batch_plan.h"
#include "tests/support/gl_test_support.h"
#include "formats/png_io.h"

namespace kubelmar::test {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;  // stdout
    std::string err;  // stderr
};

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string shellQuote(const fs::path& p) { return "'" + p.string() + "'"; }

// Runs the program with `arguments` (shell words) from `directory` (when
// given) with `prefix` before it (environment, a timeout).
CliRun runCli(const std::string& arguments, const std::string& prefix = "", const fs::path& directory = {}) {
    static int counter = 0;
    const fs::path errFile = fs::temp_directory_path() /
                             ("kubelmar-cli-err-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::string command = directory.empty() ? "" : "cd " + shellQuote(directory) + " && ";
    command += prefix + (prefix.empty() ? "" : " ") + KUBELMAR_CLI + " " + arguments + " 2>" +
               shellQuote(errFile) + " </dev/null";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = readText(errFile);
    fs::remove(errFile);
    return run;
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

int fileCount(const fs::path& dir) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) count += entry.is_regular_file();
    return count;
}

int sliceCount(const fs::path& dir) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        count += entry.path().filename().string().rfind("slice1", 0) == 0;
    return count;
}

const std::string kBunny = std::string(KUBELMAR_SAMPLES_DIR) + "/bunny.obj";
const std::string kTeapot = std::string(KUBELMAR_SAMPLES_DIR) + "/teapot.obj";

TEST(Cli, ArgumentMistakesAreOneLineAndStatusTwo) {
    for (const char* args : {"", "--size 4097 a.obj out", "--size=0 a.obj out", "--depth-precision half a.obj out",
                             "--mode fancy a.obj out", "--frobnicate a.obj out", "-j 2 a.obj out"}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(lineCount(run.err), 1) << args << "\n" << run.err;
        EXPECT_NE(run.err.find("Run with --help for more information."), std::string::npos) << run.err;
    }
    const CliRun help = runCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--size N"), std::string::npos) << help.out;
    const CliRun version = runCli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(lineCount(version.out), 1);
}

// A palette is read and checked with the other arguments, before OpenGL
// starts: a bad one is one line naming the file, status 2, nothing written.
TEST(Cli, ABadPaletteIsOneLineNamingTheFileAndStatusTwo) {
    const std::string noEgl = "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json";
    const auto dir = tempDir("palette");
    writeFile(dir / "broken.json", "{\"materials\": [{\"name\": \"a\", \"srgb\": [0, 300, 0]}]}");
    for (const std::string& palette : {(dir / "broken.json").string(), (dir / "absent.json").string()}) {
        const CliRun run = runCli("-m parity --palette " + shellQuote(palette) + " " + shellQuote(kBunny) + " " +
                                      shellQuote(dir / "out"),
                                  noEgl);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(lineCount(run.err), 1) << run.err;
        EXPECT_NE(run.err.find(palette + ": "), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    EXPECT_EQ(runCli("--dither diffusion " + shellQuote(kBunny) + " " + shellQuote(dir / "out")).status, 2);
    EXPECT_EQ(runCli("--palette rgb --colour-depth 2 " + shellQuote(kBunny) + " " + shellQuote(dir / "out")).status, 2);
}

TEST(Cli, AFailedLoadIsOneErrorLineNamingTheFile) {
    const auto dir = tempDir("cli");
    CliRun run = runCli(shellQuote(dir / "absent.obj") + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("absent.obj"), std::string::npos) << run.err;
    writeFile(dir / "empty.obj", "# nothing here\n");
    run = runCli(shellQuote(dir / "empty.obj") + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("empty.obj"), std::string::npos) << run.err;
}

// Inputs are checked first: with no EGL driver at all, a bad folder or a
// missing mesh is what gets reported, not OpenGL.
TEST(Cli, InputsAreCheckedBeforeOpenGLStarts) {
    const std::string noEgl = "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json";
    const auto dir = tempDir("noegl");
    CliRun run = runCli("--batch " + shellQuote(dir / "nonexistent"), noEgl);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("nonexistent"), std::string::npos) << run.err;
    run = runCli(shellQuote(dir / "absent.obj") + " " + shellQuote(dir / "out"), noEgl);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("absent.obj"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("OpenGL"), std::string::npos) << run.err;
    // With a good mesh, the missing GL is the one failure.
    run = runCli("--size 64 " + shellQuote(kBunny) + " " + shellQuote(dir / "out"), noEgl);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("kubelmar-cli: no OpenGL context"), std::string::npos) << run.err;
}

TEST(Cli, OnlyResultsReachStdoutAndVerboseAddsTheConsoleLines) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    CliRun run = runCli("-s 32 " + shellQuote(kBunny) + " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex("Voxelized .*bunny.obj into .*out: mode clipping, size 32, "
                                                     "34 files, [1-9][0-9]* voxels, [0-9.]+ s\n")))
        << run.out;
    EXPECT_EQ(run.err.find("EXT: Using:"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Opening:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Slicing"), std::string::npos) << run.err;  // a plain progress line per step
    run = runCli("-v -s 32 " + shellQuote(kBunny) + " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineCount(run.out), 1) << run.out;
    EXPECT_NE(run.err.find("EXT: Using: GL_ARB_depth_texture"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Opening: " + kBunny), std::string::npos) << run.err;
    run = runCli("-q -s 32 " + shellQuote(kBunny) + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.out + run.err, "");
}

TEST(Cli, ParityKeepsACavityAndThePreviewPicturesIt) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    // A box with a ball-shaped cavity (its wall wound inward) off the centre.
    const std::string mesh =
        writeFile(dir / "holed.obj", boxObj(0, 0, 0, 2, 2, 2) + sphereObj(1.2f, 1.0f, 1.0f, 0.5f, 12, 16, 9, true));
    const auto out = dir / "out";
    const auto picture = dir / "preview.png";
    CliRun run = runCli("-q -m parity -s 32 --preview " + shellQuote(picture) + " " + shellQuote(mesh) + " " +
                        shellQuote(out));
    ASSERT_EQ(run.status, 0) << run.err;
    // The middle slice (along z) is filled except around the cavity's centre,
    // 0.2 units (3.2 voxels) off the middle along +x: columns run along -x.
    int size = 0;
    const auto middle = readSlice(out, 16, &size);
    ASSERT_EQ(size, 32);
    auto filled = [&](int r, int c) { return middle[(r * 32 + c) * 4 + 3] != 0; };
    EXPECT_TRUE(filled(2, 2));
    EXPECT_FALSE(filled(16, 13));
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    ASSERT_TRUE(readPngRGBA(picture.string(), w, h, rgba, nullptr));
    EXPECT_GT(w, 3 * 32);
    EXPECT_GT(h, 32);
    EXPECT_EQ(runCli("-m parity --parity-votes 2 " + shellQuote(mesh) + " " + shellQuote(out)).status, 2);
}

TEST(Cli, VoxelScaleIsTheLargestSideOverN) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    // 100 units along z, less along x and y: 100 / 64 per voxel.
    const std::string mesh = writeFile(dir / "box.obj", boxObj(-3, 2, -50, 10, 40, 50));
    CliRun run = runCli("--size 64 --quiet " + shellQuote(mesh) + " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readText(dir / "out" / "voxelscale.txt"), "x 1.5625\ny 1.5625\nz 1.5625\n");
}

// The depth pictures go only where --depth-images says, never into the
// working directory's images/, and never count as output files.
TEST(Cli, DepthPicturesOnlyWhereAsked) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("pictures");
    fs::create_directories(dir / "images");
    CliRun run = runCli("-m depth -s 32 " + shellQuote(kBunny) + " out", "", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_empty(dir / "images"));
    EXPECT_NE(run.out.find(", 33 files,"), std::string::npos) << run.out;
    EXPECT_EQ(fileCount(dir / "out"), 33);  // 32 slices and volume.json
    run = runCli("-m depth -s 32 --depth-images pics/bunny " + shellQuote(kBunny) + " out2", "", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fileCount(dir / "pics" / "bunny"), 6);
    EXPECT_TRUE(fs::exists(dir / "pics" / "bunny" / "RenderZPos.png"));
    EXPECT_NE(run.out.find(", 33 files,"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_empty(dir / "images"));
}

// A number after "key": in a JSON text, as text.
std::string jsonField(const std::string& json, const std::string& key) {
    std::smatch m;
    const std::regex pattern("\"" + key + "\": (\"[^\"]*\"|[-0-9.e]+|null|true|false)");
    return std::regex_search(json, m, pattern) ? m[1].str() : "";
}

TEST(Cli, TheReportDescribesTheRun) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("report");
    // An L-shaped pair of boxes and a face naming a vertex that isn't there.
    const std::string mesh = writeFile(dir / "l.obj", boxObj(0, 0, 0, 4, 1, 1) + "f 1 2 99\n");
    CliRun run = runCli("-s 40 --format png,npy --report " + shellQuote(dir / "r.json") + " " + shellQuote(mesh) +
                        " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string report = readText(dir / "r.json");
    EXPECT_EQ(jsonField(report, "status"), "\"done\"");
    EXPECT_EQ(jsonField(report, "error"), "null");
    EXPECT_EQ(jsonField(report, "size"), "40");
    EXPECT_EQ(jsonField(report, "filesWritten"), std::to_string(fileCount(dir / "out")));
    EXPECT_EQ(jsonField(report, "filledVoxels"), jsonField(readText(dir / "out" / "volume.json"), "filledVoxels"));
    EXPECT_EQ(jsonField(report, "totalVoxels"), "64000");
    EXPECT_NE(report.find("\"formats\": [\"png\", \"npy\"]"), std::string::npos) << report;
    EXPECT_NE(report.find("{\"step\": \"Starting OpenGL\""), std::string::npos) << report;
    EXPECT_NE(report.find("first on line " + std::to_string(lineCount(boxObj(0, 0, 0, 4, 1, 1)) + 1)), std::string::npos) << report;  // the skipped face's line
    EXPECT_GT(std::stol(jsonField(report, "peakMemoryKiB")), 0);
    // "-": the report is stdout, alone; the result line moves to stderr.
    run = runCli("-s 16 --report - " + shellQuote(mesh) + " " + shellQuote(dir / "out"));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("{\n", 0), 0u) << run.out;
    EXPECT_NE(run.err.find("Voxelized " + mesh + " into "), std::string::npos) << run.err;
    // A failure is reported as one.
    run = runCli("-s 16 --report " + shellQuote(dir / "bad.json") + " " + shellQuote(dir / "absent.obj") + " " +
                 shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 1);
    const std::string failed = readText(dir / "bad.json");
    EXPECT_EQ(jsonField(failed, "status"), "\"failed\"");
    EXPECT_NE(jsonField(failed, "error").find("absent.obj"), std::string::npos) << failed;
}

TEST(Cli, AnEmptyVolumeIsSaidAndWhy) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("empty");
    const std::string flat = writeFile(dir / "flat.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    CliRun run = runCli("-m depth -s 32 " + shellQuote(flat) + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(" 0 voxels"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("flat.obj: the volume is empty"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("open"), std::string::npos) << run.err;
    const std::string skipped = writeFile(dir / "skipped.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n");
    run = runCli("-s 32 " + shellQuote(skipped) + " " + shellQuote(dir / "out"));
    EXPECT_NE(run.err.find("every face was skipped"), std::string::npos) << run.err;
    // A needle far thinner than a voxel.
    const std::string needle = writeFile(dir / "needle.obj", boxObj(0, 0, 0, 1000000, 1, 1));
    run = runCli("-s 64 " + shellQuote(needle) + " " + shellQuote(dir / "out"));
    EXPECT_NE(run.err.find("thinner than a voxel"), std::string::npos) << run.err;
}

// The parity mode's open-mesh warning is raised inside the engine; it
// reaches stderr as one line naming the file, and stdout keeps the result.
TEST(Cli, AnEngineWarningReachesStderrAsOneLine) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("engine-warning");
    std::string open = boxObj(0, 0, 0, 1, 1, 1);
    open.erase(open.rfind("f "));  // one side fewer: four boundary edges
    const std::string mesh = writeFile(dir / "open.obj", open);
    const CliRun run = runCli("-m parity -s 16 " + shellQuote(mesh) + " " + shellQuote(dir / "out"));
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string line = "WARNING: " + mesh + ": 4 boundary edges: the mesh is not closed";
    EXPECT_NE(run.err.find("\n" + line), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << run.out;
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
    EXPECT_FALSE(fs::exists(out / "voxelscale.txt"));
    EXPECT_TRUE(fs::exists(out / "volume.json"));
    // A folder where a slice goes fails the run, which changes nothing.
    fs::create_directories(out / "slice100030.png");
    const CliRun failed = runCli("--size 40 --quiet " + shellQuote(mesh) + " " + shellQuote(out));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(lineCount(failed.err), 1) << failed.err;
    EXPECT_NE(failed.err.find("slice100030.png"), std::string::npos) << failed.err;
    EXPECT_EQ(sliceCount(out), 25);  // the 24 slices and the folder
    EXPECT_TRUE(fs::exists(out / "notes.txt"));  // never anyone else's files
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_NE(entry.path().filename().string().rfind(".kubelmar-tmp-", 0), 0u) << entry.path();
}

TEST(Cli, UnwritableOutputExitsNonZero) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("cli");
    writeFile(dir / "file", "x");
    CliRun run = runCli("--size 64 " + shellQuote(kBunny) + " " + shellQuote(dir / "file" / "out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("file/out"), std::string::npos) << run.err;
    // A folder that is there but takes no new entries is found before any
    // slicing starts.
    run = runCli("--size 64 " + shellQuote(kBunny) + " /proc/self");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("kubelmar-cli: /proc/self: can't write in the folder: "), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Slicing"), std::string::npos) << run.err;
}

TEST(Cli, BatchGoesOnPastABadFileAndReportsIt) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("batch");
    const std::string box = boxObj(0, 0, 0, 1, 1, 1);
    writeFile(dir / "b.obj", box + "f 1 2 99\n");  // a face skipped: one warning, once
    writeFile(dir / "A.OBJ", box);
    writeFile(dir / "c.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n");  // no extent
    fs::create_directories(dir / "folder.obj");
    CliRun run = runCli("--mode depth --size 64 -j 1 --batch " + shellQuote(dir));
    EXPECT_EQ(run.status, 1) << run.err;
    const auto a = run.out.find("Voxelized " + (dir / "A.OBJ").string());
    const auto b = run.out.find("Voxelized " + (dir / "b.obj").string());
    ASSERT_NE(a, std::string::npos) << run.out;
    ASSERT_NE(b, std::string::npos) << run.out;
    EXPECT_LT(a, b);
    EXPECT_NE(run.err.find("c.obj"), std::string::npos) << run.err;
    const auto warning = run.err.find("b.obj: skipped 1 face");
    EXPECT_NE(warning, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("b.obj: skipped 1 face", warning + 1), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Batch: 2 done, 1 failed, 0 skipped"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(dir / "A" / "slice100063.png"));
    EXPECT_TRUE(fs::exists(dir / "b" / "slice100000.png"));
    EXPECT_FALSE(fs::exists(dir / "folder"));
    const std::string summary = readText(dir / "batch-summary.json");
    EXPECT_NE(summary.find("{\"file\": \"c.obj\", \"output\": \"" + (dir / "c").string() + "/\", \"status\": \"failed\""),
              std::string::npos)
        << summary;
}

// Every regular file under `root` (summaries left out) with its bytes, by
// relative path.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        if (entry.is_regular_file() && name.find("batch-summary") == std::string::npos)
            files[name] = readText(entry.path());
    }
    return files;
}

// A summary's file lines without their wall times.
std::string summaryFiles(const std::string& text) {
    std::string files = text.substr(text.find("\"files\": ["));
    return std::regex_replace(files, std::regex("\"seconds\": [0-9.]+"), "");
}

TEST(Cli, ParallelAndShardedBatchesWriteWhatASerialOneDoes) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("parallel");
    const auto in = dir / "in";
    fs::create_directories(in / "sub");
    fs::copy_file(kBunny, in / "bunny.obj");
    fs::copy_file(kTeapot, in / "sub" / "teapot.obj");
    writeFile(in / "l.obj", boxObj(0, 0, 0, 3, 1, 1) + boxObj(0, 1, 0, 1, 3, 2));
    writeFile(in / "sub" / "octant.obj", boxObj(0, 0, 0, 1, 1, 1));
    const std::string common = "-q -s 32 -m depth --format png,binvox --recursive -b " + shellQuote(in) + " -o ";
    ASSERT_EQ(runCli(common + shellQuote(dir / "serial") + " -j 1").status, 0);
    ASSERT_EQ(runCli(common + shellQuote(dir / "parallel") + " -j 3").status, 0);
    for (const char* shard : {"1/3", "2/3", "3/3"})
        ASSERT_EQ(runCli(common + shellQuote(dir / "sharded") + " --shard " + shard).status, 0);
    const CliRun merged = runCli("--merge-summaries " + shellQuote(dir / "sharded"));
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, "Merged 3 shards: 4 done, 0 failed, 0 skipped\n");

    const auto serial = tree(dir / "serial");
    EXPECT_EQ(serial.size(), 4u * 34u);  // 32 slices, volume.json, the .binvox
    EXPECT_TRUE(serial == tree(dir / "parallel"));
    EXPECT_TRUE(serial == tree(dir / "sharded"));
    const std::string summary = summaryFiles(readText(dir / "serial" / "batch-summary.json"));
    auto withRoot = [&](std::string text, const char* root) {
        return std::regex_replace(text, std::regex((dir / root).string()), (dir / "serial").string());
    };
    EXPECT_EQ(summary, withRoot(summaryFiles(readText(dir / "parallel" / "batch-summary.json")), "parallel"));
    EXPECT_EQ(summary, withRoot(summaryFiles(readText(dir / "sharded" / "batch-summary.json")), "sharded"));
}

// Shell words that wait (at most 20 s) until the batch over `dir` has
// finished its first mesh, so that a kill after them lands mid-run.
std::string afterFirstMesh(const fs::path& dir) {
    return "for i in $(seq 400); do [ -e " + shellQuote(dir / "m0" / "volume.json") +
           " ] && break; sleep 0.05; done; ";
}

// A batch takes every format the loader reads, not only OBJ files: each
// mesh gets its folder named without its extension, and the summary counts
// them all.
TEST(Cli, ABatchTakesEveryMeshFormat) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("mixed");
    // One unit box in OBJ, OFF, ASCII STL and ASCII PLY.
    {
        std::ofstream(dir / "a.obj") << boxObj(0, 0, 0, 1, 1, 1);
        std::ofstream(dir / "b.off") << "OFF\n4 4 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
        std::ofstream(dir / "C.STL") << "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                                        "vertex 0 1 0\nendloop\nendfacet\nendsolid t\n";
        std::ofstream(dir / "d.ply") << "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                                        "property float y\nproperty float z\nelement face 1\n"
                                        "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
        std::ofstream(dir / "notes.txt") << "not a mesh\n";
    }
    const CliRun run = runCli("-q -s 16 -j 1 -b " + shellQuote(dir));
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* folder : {"a", "b", "C", "d"}) EXPECT_EQ(sliceCount(dir / folder), 16) << folder;
    EXPECT_FALSE(fs::exists(dir / "notes"));
    EXPECT_NE(readText(dir / "batch-summary.json").find("\"done\": 4,"), std::string::npos);
}

TEST(Cli, SkipExistingResumesABatchThatWasKilled) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("resume");
    constexpr int kFiles = 8;
    for (int k = 0; k < kFiles; ++k) fs::copy_file(kBunny, dir / ("m" + std::to_string(k) + ".obj"));
    const std::string batch = "-q -s 96 -j 1 -b " + shellQuote(dir);
    // Killed part way (where exactly doesn't matter: whatever it finished is
    // kept, whatever it was writing is redone) and reaped, so its stage
    // folders are known to be stale.
    const std::string killed = std::string(KUBELMAR_CLI) + " " + batch + " 2>/dev/null </dev/null & p=$!; " +
                               afterFirstMesh(dir) + "kill -KILL $p; { wait $p; } 2>/dev/null";
    ASSERT_NE(std::system(killed.c_str()), -1);
    int complete = 0;
    // Counted by the program's own rule: volume.json and no stage folder left.
    for (int k = 0; k < kFiles; ++k) complete += outputComplete((dir / ("m" + std::to_string(k))).string());
    const CliRun resumed = runCli("--skip-existing -s 96 -j 2 -b " + shellQuote(dir));
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find("Batch: " + std::to_string(kFiles - complete) + " done, 0 failed, " +
                               std::to_string(complete) + " skipped"),
              std::string::npos)
        << resumed.out;
    for (int k = 0; k < kFiles; ++k) {
        const fs::path out = dir / ("m" + std::to_string(k));
        EXPECT_EQ(sliceCount(out), 96) << out;
        for (const auto& entry : fs::directory_iterator(out))
            EXPECT_NE(entry.path().filename().string().rfind(".kubelmar-tmp-", 0), 0u) << entry.path();
    }
}

TEST(Cli, AKilledWorkerFailsItsMeshAndTheBatchGoesOn) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("worker-kill");
    constexpr int kFiles = 8;
    for (int k = 0; k < kFiles; ++k) fs::copy_file(kBunny, dir / ("m" + std::to_string(k) + ".obj"));
    // One worker process is killed part way; the parent reports and goes on.
    const std::string run = std::string(KUBELMAR_CLI) + " -q -s 96 -j 2 -b " + shellQuote(dir) +
                            " 2>" + shellQuote(dir / "err.txt") +
                            " </dev/null & p=$!; " + afterFirstMesh(dir) + "pkill -KILL -o -P $p; wait $p; echo $? >" +
                            shellQuote(dir / "status.txt");
    ASSERT_NE(std::system(run.c_str()), -1);
    const std::string err = readText(dir / "err.txt");
    const std::string summary = readText(dir / "batch-summary.json");
    const bool failedOne = err.find("the worker process ended with signal 9 (Killed)") != std::string::npos;
    // Killed between two meshes, it had nothing to fail.
    EXPECT_EQ(readText(dir / "status.txt"), failedOne ? "1\n" : "0\n") << err;
    EXPECT_NE(summary.find(failedOne ? "\"done\": 7,\n  \"failed\": 1," : "\"done\": 8,\n  \"failed\": 0,"),
              std::string::npos)
        << summary;
    const CliRun resumed = runCli("--skip-existing -q -s 96 -j 2 -b " + shellQuote(dir));
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    for (int k = 0; k < kFiles; ++k) EXPECT_EQ(sliceCount(dir / ("m" + std::to_string(k))), 96);
}

}  // namespace
}  // namespace kubelmar::test

namespace kubelmar::test {
namespace {

TEST(Cli, MissingExtensionIsOneLineAndNoWait) {
    KUBELMAR_REQUIRE_GL();
    const auto dir = tempDir("ext");
    // Mesa drivers drop an extension on request; stdin is /dev/null, so the
    // program must not wait for a key.
    const std::string env = "MESA_EXTENSION_OVERRIDE=-GL_ARB_shadow";
    const std::string args = "--size 64 " + shellQuote(kBunny) + " " + shellQuote(dir / "out");
    CliRun run = runCli(args, env);
    if (run.status == 0) GTEST_SKIP() << "this driver ignores MESA_EXTENSION_OVERRIDE";
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("kubelmar-cli: Extension not supported: GL_ARB_shadow\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("EXT: Using"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Press Enter"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out" / "slice100000.png"));
    // --verbose shows the engine's own lines.
    run = runCli("-v " + args, env);
    EXPECT_NE(run.err.find("EXT: Using: GL_ARB_depth_texture\nERROR: Extension not supported: GL_ARB_shadow\n"
                           "ERROR: GL_ARB_shadow extension not available... [load_GLextension(), GL_Ext_Loader]"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace kubelmar::test
