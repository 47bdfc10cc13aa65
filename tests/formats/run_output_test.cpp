#include "formats/run_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "test_volume.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;
using test::Layout;

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

WriteResult run(const fs::path& out, std::vector<OutputFormat> formats, Layout layout, int n) {
    OutputRequest request;
    request.directory = out.string();
    request.meshPath = "models/bunny.obj";
    request.formats = std::move(formats);
    RunOutput files(request);
    const SliceEncoding encoding = layout == Layout::Clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy;
    return test::feed(files, test::volumeInfo(layout, encoding, n), test::lShape());
}

TEST(RunOutput, EachRunReplacesTheWholeStackTheFormatsOwnAndNothingElse) {
    const fs::path out = test::freshDirectory("run-output");
    std::ofstream(out / "notes.txt") << "mine";
    std::ofstream(out / "other.npy") << "another mesh's";

    ASSERT_TRUE(run(out, {OutputFormat::Png, OutputFormat::Npy}, Layout::Clipping, 5).ok);
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"notes.txt", "other.npy", "slice100000.png", "slice100001.png",
                                                   "slice100002.png", "slice100003.png", "slice100004.png",
                                                   "voxelscale.txt", "bunny.npy", "volume.json"}));

    // Smaller N, depth mode, no npy: the slices above 2, the scale and the
    // npy of the first run go; the files that are no stack's stay.
    ASSERT_TRUE(run(out, {OutputFormat::Png}, Layout::Depth, 3).ok);
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"notes.txt", "other.npy", "slice100000.png", "slice100001.png",
                                                   "slice100002.png", "volume.json"}));

    // A folder where a slice goes: the run fails naming the slice in the
    // output folder (not the hidden one) and changes nothing.
    fs::create_directory(out / "slice100003.png");
    const auto before = namesIn(out);
    const WriteResult failed = run(out, {OutputFormat::Png, OutputFormat::Binvox}, Layout::Clipping, 6);
    ASSERT_FALSE(failed.ok);
    EXPECT_EQ(failed.error.file, (out / "slice100003.png").string()) << failed.error;
    EXPECT_EQ(namesIn(out), before);
    fs::remove_all(out);
}

// What a writer says about a file it wrote (here: colours the palette had to
// merge) names the file where the user finds it, not in the hidden folder.
TEST(RunOutput, NotesNameTheFilesInTheOutputFolder) {
    const fs::path out = test::freshDirectory("run-output-notes");
    const int n = 8;
    test::VoxelSet ramp;  // hundreds of colours: more than a palette holds
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                ramp.insert({i, j, k, static_cast<Rgb>(i * 32) << 16 | static_cast<Rgb>(j * 32) << 8 |
                                          static_cast<Rgb>(k * 32)});
    OutputRequest request;
    request.directory = out.string();
    request.meshPath = "models/bunny.obj";
    request.formats = {OutputFormat::Vox};
    RunOutput files(request);
    ASSERT_TRUE(test::feed(files, test::volumeInfo(Layout::Clipping, SliceEncoding::Colour, n), ramp).ok);
    ASSERT_EQ(files.notes().size(), 1u);
    const std::string note = files.notes()[0];
    EXPECT_EQ(note.rfind((out / "bunny.vox").string() + ": ", 0), 0u) << note;
    EXPECT_NE(note.find(" colours quantised to 255 palette entries"), std::string::npos) << note;
    fs::remove_all(out);
}

}  // namespace
}  // namespace kubelmar
