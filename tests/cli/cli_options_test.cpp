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
    EXPECT_EQ(o.command, CliOptions::Command::Voxelize);
    EXPECT_EQ(o.run.settings.mode, VoxelMode::Clipping);
    EXPECT_EQ(o.run.settings.size, 512);
    EXPECT_EQ(o.input, "in.obj");
    EXPECT_EQ(o.output, "out");
    EXPECT_TRUE(o.depthImages.empty());  // no pictures unless asked
}

TEST(CliOptions, ShortLongAndEqualsFormsAgree) {
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{"--mode", "depth", "--size", "128", "--quiet", "a.obj", "b"},
          {"--mode=depth", "--size=128", "-q", "a.obj", "b"},
          {"-m", "depth", "-s", "128", "-q", "a.obj", "b"},
          {"-mdepth", "-s128", "-q", "a.obj", "b"},
          {"a.obj", "-q", "-m", "depth", "-o", "b", "-s", "128"}}) {
        CliOptions o;
        std::string error;
        ASSERT_TRUE(parse(args, o, &error)) << error;
        EXPECT_EQ(o.run.settings.mode, VoxelMode::DepthBuffer);
        EXPECT_EQ(o.run.settings.size, 128);
        EXPECT_TRUE(o.quiet);
        EXPECT_EQ(o.input, "a.obj");
        EXPECT_EQ(o.output, "b");
    }
}

TEST(CliOptions, PrintOptionsResolveIntoThePrintSettings) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-m", "depth", "--palette", "cmyk", "--dither", "blue-noise", "--colour-depth", "4",
                       "--core-colour", "clear", "--format", "png,materials", "in.obj", "out"},
                      o, &error))
        << error;
    const PrintSettings& print = o.run.settings.print;
    EXPECT_EQ(print.palette.name, "cmyk");
    EXPECT_EQ(print.dither, DitherMode::BlueNoise);
    EXPECT_EQ(print.colourDepth, 4.0);
    EXPECT_EQ(print.coreColour, "clear");
    CliOptions plain;
    ASSERT_TRUE(parse({"in.obj", "out"}, plain));
    EXPECT_FALSE(plain.run.settings.print.active());
    CliOptions bad;
    EXPECT_FALSE(parse({"--format", "materials", "in.obj", "out"}, bad, &error));
    EXPECT_NE(error.find("--format materials: needs a --palette"), std::string::npos) << error;
}

TEST(CliOptions, BatchOptions) {
    CliOptions b;
    ASSERT_TRUE(parse({"-b", "dir", "-j", "3", "--recursive", "--skip-existing", "--shard", "2/5", "-o", "root"}, b));
    EXPECT_EQ(b.command, CliOptions::Command::Batch);
    EXPECT_EQ(b.batchDir, "dir");
    EXPECT_EQ(b.jobs, 3);
    EXPECT_TRUE(b.recursive && b.skipExisting);
    EXPECT_EQ(b.shardIndex, 2);
    EXPECT_EQ(b.shardCount, 5);
    EXPECT_EQ(b.output, "root");
    CliOptions m;
    ASSERT_TRUE(parse({"--merge-summaries", "dir"}, m));
    EXPECT_EQ(m.command, CliOptions::Command::MergeSummaries);
}

TEST(CliOptions, HelpAndVersionWinOverEverythingElse) {
    CliOptions h;
    ASSERT_TRUE(parse({"--size", "9999", "--help"}, h));
    EXPECT_EQ(h.command, CliOptions::Command::Help);
    CliOptions v;
    ASSERT_TRUE(parse({"--version"}, v));
    EXPECT_EQ(v.command, CliOptions::Command::Version);
    const std::string help = cliHelp();
    for (const char* text : {"--size", "=512", "--mode", "=clipping", "--jobs", "--shard", "--depth-images",
                             "--report", "--verbose", "--batch", "MESH OUTDIR", "--refs-root DIR", "--refs WHERE",
                             "--max-memory SIZE="})
        EXPECT_NE(help.find(text), std::string::npos) << text;
    // Options whose default is "not given" show no made-up value.
    for (const char* text : {"VOTES=", "VOTES:", "S=0", "DIR:DIR"}) EXPECT_EQ(help.find(text), std::string::npos) << text;
}

TEST(CliOptions, ReferenceRulesAndTheMemoryLimit) {
    CliOptions o;
    ASSERT_TRUE(parse({"a", "b"}, o));
    EXPECT_TRUE(o.run.limits.referenceRoot.empty());  // the mesh's folder
    EXPECT_FALSE(o.run.limits.anyReference);
    EXPECT_EQ(o.run.limits.maxMemoryBytes, LoadLimits::defaultMemoryBudget());
    CliOptions widened;
    ASSERT_TRUE(parse({"--refs-root", "/", "--refs", "any", "--max-memory", "512M", "a", "b"}, widened));
    EXPECT_EQ(widened.run.limits.referenceRoot, "/");
    EXPECT_TRUE(widened.run.limits.anyReference);
    EXPECT_EQ(widened.run.limits.maxMemoryBytes, 512u << 20);
}

// The grid options reach the settings; --crop is the box grid.
TEST(CliOptions, GridOptionsFillTheGridSettings) {
    CliOptions o;
    ASSERT_TRUE(parse({"--preset", "voxel-print-600x600", "--scale", "2", "a", "b"}, o));
    EXPECT_EQ(o.run.settings.grid.shape, GridShape::Box);
    EXPECT_DOUBLE_EQ(o.run.settings.grid.edge[2], 0.025);
    EXPECT_EQ(o.run.settings.grid.unit, "mm");
    EXPECT_EQ(o.run.settings.grid.preset, "voxel-print-600x600");
    CliOptions cropped;
    ASSERT_TRUE(parse({"--crop", "a", "b"}, cropped));
    EXPECT_EQ(cropped.run.settings.grid.shape, GridShape::Box);
    CliOptions listing;
    ASSERT_TRUE(parse({"--preset", "list"}, listing));
    EXPECT_EQ(listing.command, CliOptions::Command::ListPresets);
}

// Each mistake is refused with one line that names the offending option.
TEST(CliOptions, MistakesGiveOneLineNamingTheOption) {
    const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
        {{"--size", "4097", "a", "b"}, "--size"},
        {{"--size=0", "a", "b"}, "--size"},
        {{"-s", "12x", "a", "b"}, "--size"},
        {{"--mode", "fancy", "a", "b"}, "--mode"},
        {{"--mode"}, "--mode"},
        {{"--depth-precision", "half", "a", "b"}, "--depth-precision"},
        {{"--format", "png,gif", "a", "b"}, "gif"},
        {{"--voxel-size", "-1", "a", "b"}, "--voxel-size"},
        {{"--frobnicate", "a", "b"}, "--frobnicate"},
        {{"-j", "2", "a", "b"}, "--jobs"},
        {{"--shard", "3/2", "-b", "d"}, "--shard"},
        {{"--shard", "0/2", "-b", "d"}, "--shard"},
        {{"--shard", "1/", "-b", "d"}, "--shard"},
        {{"-b", "d", "--report", "r.json"}, "--report"},
        {{"-q", "-v", "a", "b"}, "--quiet"},
        {{"a.obj"}, "MESH"},
        {{"a", "b", "c"}, "files"},
        {{"-b", "d", "extra"}, "--batch"},
        // Two ways to say N: refused rather than one silently winning.
        {{"-s", "64", "--voxel-size", "0.1", "a", "b"}, "--voxel-size"},
        // Only the depth mode makes the pictures asked for.
        {{"--depth-images", "pics", "a", "b"}, "--depth-images"},
        {{"-m", "parity", "--depth-images", "pics", "-b", "d"}, "--depth-images"},
        {{"--refs", "outside", "a", "b"}, "--refs"},
        {{"--refs-root", "/no/such/folder", "a", "b"}, "--refs-root"},
        {{"--max-memory", "lots", "a", "b"}, "--max-memory"},
        {{"--max-memory", "0", "a", "b"}, "--max-memory"},
        {{"--parity-votes", "2", "a", "b"}, "--parity-votes"},
        {{"--dpi", "600", "--layer", "0.03", "a", "b"}, "--dpi"},
        {{"--units", "ft", "a", "b"}, "--units"},
        {{"--grid", "cube", "--voxel-size", "1,2,3", "a", "b"}, "--grid"},
        {{"--preset", "nope", "-b", "d"}, "--preset"},
    };
    for (const auto& [args, named] : cases) {
        CliOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, &error)) << args[0];
        EXPECT_NE(error.find(named), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace kubelmar
