// Replays the fuzzers' committed inputs (seeds and every input that once
// crashed, named after its fault) through the same calls the fuzz targets
// make, so the ordinary and the sanitizer test runs keep them fixed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "mesh/mesh_loader.h"
#include "mesh/mtl_reader.h"
#include "mesh/texture_image.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = KUBELMAR_FUZZ_CORPUS_DIR;
const fs::path kRegressions = KUBELMAR_FUZZ_REGRESSIONS_DIR;

std::vector<fs::path> inputs(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(FuzzInputs, LoadEitherFailsWithAReasonOrGivesAConsistentMesh) {
    const auto files = inputs(kCorpus / "obj");
    ASSERT_FALSE(files.empty());
    // The load sequence prints progress lines; keep the test log readable.
    std::ostringstream sink;
    std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
    std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());
    for (const fs::path& file : files) {
        kubelmar::Mesh mesh;
        const kubelmar::MeshLoadResult result = kubelmar::loadPreparedMesh(file.string(), mesh);
        if (!result.ok) {
            EXPECT_NE(result.error(), nullptr) << file;
            continue;
        }
        for (const kubelmar::Face& face : mesh.faces)
            for (const int i : face.index) EXPECT_TRUE(i >= 0 && i < mesh.vertexCount) << file;
    }
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
}

// Inputs the fuzzers found taking the third-party importer down (a crash,
// an abort, an allocation of tens of gigabytes), and the seeds: loaded as the
// programs load them, each gives a consistent mesh or one error, and this
// process lives on.
TEST(FuzzInputs, EveryReaderFailsWithAReasonOrGivesAConsistentMesh) {
    const fs::path folder = fs::temp_directory_path() / ("kubelmar-fuzz-inputs-" + std::to_string(::getpid()));
    int replayed = 0;
    for (const char* format : {"stl", "ply", "off", "gltf", "3mf"}) {
        for (const fs::path& dir : {kCorpus / format, kRegressions / format}) {
            if (!fs::is_directory(dir)) continue;
            for (const fs::path& file : inputs(dir)) {
                fs::remove_all(folder);
                fs::create_directories(folder);
                const fs::path mesh = folder / (std::string("mesh.") + format);
                fs::copy_file(file, mesh);
                kubelmar::Mesh loaded;
                const kubelmar::MeshLoadResult result = kubelmar::loadPreparedMesh(mesh.string(), loaded);
                ++replayed;
                if (!result.ok) {
                    ASSERT_NE(result.error(), nullptr) << file;
                    EXPECT_EQ(result.error()->file, mesh.string()) << file;
                    continue;
                }
                for (const kubelmar::Face& face : loaded.faces)
                    for (const int i : face.index) EXPECT_TRUE(i >= 0 && i < loaded.vertexCount) << file;
            }
        }
    }
    fs::remove_all(folder);
    EXPECT_GE(replayed, 10);
}

TEST(FuzzInputs, TexturesDecodeOrSayWhy) {
    for (const fs::path& dir : {kCorpus / "texture", kRegressions / "texture"}) {
        for (const fs::path& file : inputs(dir)) {
            const std::string bytes = readFile(file);
            const kubelmar::TextureLoadResult r = kubelmar::decodeTexture(
                reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file.string(), 1LL << 24);
            if (r.ok)
                EXPECT_EQ(r.texture.rgba.size(), std::size_t(r.texture.width) * std::size_t(r.texture.height) * 4) << file;
            else
                EXPECT_FALSE(r.reason.empty()) << file;
        }
    }
}

TEST(FuzzInputs, MaterialFilesGiveColoursInRangeAndNamedWarnings) {
    const auto files = inputs(kCorpus / "mtl");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const kubelmar::MtlReadResult result = kubelmar::parseMTL(readFile(file), "m.mtl");
        for (const kubelmar::Diagnostic& warning : result.warnings) EXPECT_EQ(warning.file, "m.mtl") << file;
        for (const kubelmar::MtlMaterial& m : result.materials)
            for (float c : {m.material.diffuse[0], m.material.diffuse[1], m.material.diffuse[2]})
                EXPECT_TRUE(c >= 0 && c <= 1) << file << ": " << c;
    }
}

TEST(FuzzInputs, CommandLinesEitherParseOrSayWhy) {
    const auto files = inputs(kCorpus / "cli_options");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        // One argument per line, as the fuzz target splits them.
        std::vector<std::string> args{"kubelmar-cli"};
        std::istringstream lines(readFile(file));
        for (std::string line; std::getline(lines, line);) args.push_back(line);
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        kubelmar::CliOptions options;
        std::string error;
        if (!kubelmar::parseCliOptions(static_cast<int>(args.size()), argv.data(), options, &error)) {
            EXPECT_FALSE(error.empty()) << file;
        }
    }
}
