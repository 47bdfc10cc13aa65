#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "colour/palette_file.h"
#include "colour/print_options.h"
#include "engine/grid_options.h"
#include "formats/format_list.h"
#include "mesh/load_limits.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

namespace {

// The --mode names, from the one mode table.
std::vector<std::string> modeNames() {
    std::vector<std::string> names;
    for (const VoxelModeNames& row : kVoxelModes) names.push_back(row.name);
    return names;
}

// Strings the parser keeps before they are checked and converted.
struct RawValues {
    std::string mode = "clipping";
    std::string precision = "byte";
    std::string colour = "auto";
    std::string inside = "parity";
    std::string shard;
    std::string formats = "png";
    std::string refs = "inside";
    std::string maxMemory;
    GridOptions grid;
    bool crop = false;
    PrintOptions print;
    std::vector<std::string> positional;
};

// CLI11's help with our usage lines: its own can't show the three forms.
class UsageFormatter final : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: kubelmar-cli [OPTIONS] MESH OUTDIR\n"
               "       kubelmar-cli [OPTIONS] --batch DIR [-o OUTROOT] [-j N] [--shard I/N]\n"
               "       kubelmar-cli --merge-summaries DIR\n";
    }
};

// Builds the parser into `app`, writing into `options` and `raw`.
void describe(CLI::App& app, CliOptions& options, RawValues& raw) {
    app.formatter(std::make_shared<UsageFormatter>());
    app.description(
        "Voxelizes a triangle mesh into an N x N x N volume: N PNG slices (slice100000.png ...)\n"
        "plus volume.json in OUTDIR, created if missing. Results go to stdout; progress,\n"
        "warnings and errors to stderr. Exit status: 0 done, 1 a file failed, 2 bad arguments.");
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("print the version and exit"));
    app.get_option("--version")->description("print the version and exit");

    app.add_option("-m,--mode", raw.mode, "clipping: coloured surface shell; depth: filled solid from six depth pictures; "
                   "parity: solid by the even-odd rule, cavities kept")
        ->check(CLI::IsMember(modeNames()))
        ->type_name("MODE");
    auto* size = app.add_option("-s,--size", options.run.settings.size, "voxels per axis (N)")
                     ->check(CLI::Range(1, 4096))
                     ->type_name("N");
    app.add_option("--grid", raw.grid.grid,
                   "cube: N^3 around the mesh; box: the mesh's box, its largest side N voxels")
        ->check(CLI::IsMember({"cube", "box"}))
        ->type_name("SHAPE")
        ->default_str("cube");
    app.add_option("--voxel-size", raw.grid.voxelSize,
                   "voxel edge instead of --size, one for all axes or one per axis (makes a box grid); "
                   "with --units it may carry a unit (0.1mm)")
        ->type_name("S|SX,SY,SZ")
        ->excludes(size);
    app.add_option("--units", raw.grid.units, "what the mesh file's coordinates are: mm, cm, m or in")
        ->type_name("UNIT");
    app.add_option("--scale", raw.grid.scale, "multiply the mesh's coordinates by F first")
        ->type_name("F")
        ->default_str("1");
    app.add_option("--dpi", raw.grid.dpi,
                   "printer grid: dots per inch across the layer, along the image's width and height "
                   "(needs --units and --layer)")
        ->type_name("X[,Y]");
    app.add_option("--layer", raw.grid.layer, "printer grid: the layer thickness (a length)")->type_name("T");
    app.add_option("--up", raw.grid.up,
                   "printer grid: the mesh's build direction; the stack slices along it, bottom layer first")
        ->type_name("AXIS")
        ->default_str("z");
    app.add_option("--slice-axis", raw.grid.sliceAxis,
                   "the mesh axis the PNG stack slices along, low end first (default: the mode's own)")
        ->type_name("AXIS");
    app.add_option("--preset", raw.grid.preset, "a bundle of grid options by name; 'list' shows them")
        ->type_name("NAME");
    app.add_option("--depth-precision", raw.precision,
                   "depth mode: 8-bit depth pictures, or the depth buffer itself (exact at every N)")
        ->check(CLI::IsMember({"byte", "full"}))
        ->type_name("PRECISION");
    app.add_option("--format", raw.formats, "comma-separated: png, binvox, nrrd, npy, vox, vdb, materials (one 1-bit stack per palette material)")
        ->type_name("LIST")
        ->check([](const std::string& list) { return parseFormatList(list).error; });
    app.add_flag("--crop", raw.crop, "the same as --grid box (kept for older scripts)");
    app.add_option("--colour,--color", raw.colour, "clipping colours from auto, texture, material or vertex")
        ->check(CLI::IsMember({"auto", "texture", "material", "vertex"}))
        ->type_name("SOURCE");
    app.add_option("--depth-images", options.depthImages,
                   "depth mode: also write the six depth pictures into DIR (created if missing)")
        ->type_name("DIR");
    app.add_option("--report", options.report, "write a JSON run report for one mesh ('-': stdout)")
        ->type_name("FILE");
    app.add_option("--preview", options.run.previewPath,
                   "write one PNG of one mesh's volume: three projections and a row of sample slices")
        ->type_name("FILE.png");
    app.add_option("--parity-votes", options.run.settings.parityVotes,
                   "parity mode: rays along z only (1) or along x, y and z, two of three deciding (3); "
                   "default: 3 for a mesh with open edges, else 1")
        ->check([](const std::string& votes) { return votes == "1" || votes == "3" ? "" : "must be 1 or 3"; })
        ->type_name("VOTES")
        ->default_str("");
    app.add_option("--refs-root", options.run.limits.referenceRoot,
                   "follow the files a mesh refers to (glTF buffers, materials, textures) inside DIR and its "
                   "sub-folders; default: the mesh's own folder")
        ->check(CLI::ExistingDirectory.description(""))
        ->type_name("DIR")
        ->default_str("");
    app.add_option("--refs", raw.refs, "inside: only within the --refs-root folder; any: wherever they point")
        ->check(CLI::IsMember({"inside", "any"}))
        ->type_name("WHERE");
    app.add_option("--max-memory", raw.maxMemory,
                   "memory one mesh load may use (K, M, G suffixes); larger declared counts, archives and "
                   "reader processes are refused")
        ->check([](const std::string& text) {
            std::uint64_t bytes = 0;
            return parseByteSize(text, bytes) ? "" : "not a size such as 512M or 4G";
        })
        ->type_name("SIZE")
        ->default_str(describeBytes(LoadLimits::defaultMemoryBudget()));
    app.add_option("--inside", raw.inside,
                   "parity mode: parity (even-odd: cavities stay empty) or nonzero (signed crossings: "
                   "overlapping closed shells come out solid; needs OpenGL 4.3)")
        ->check(CLI::IsMember({"parity", "nonzero"}))
        ->type_name("RULE");
    app.add_option("--palette", raw.print.palette,
                   "print: every filled voxel becomes one of these materials; a built-in palette (" +
                       builtInPaletteNames() + ") or a palette file (FILE.json, see docs/printing.md)")
        ->type_name("NAME|FILE");
    app.add_option("--dither", raw.print.dither,
                   "print: none (nearest material), diffusion (3D error diffusion) or blue-noise (ordered, "
                   "a 3D blue-noise tile)")
        ->type_name("METHOD")
        ->default_str("none");
    app.add_option("--colour-depth,--color-depth", raw.print.colourDepth,
                   "print, solid modes: voxels within T of the surface take its colour, deeper ones the core's; "
                   "T in voxels, or with --units a length in that unit")
        ->type_name("T");
    app.add_option("--core-colour,--core-color", raw.print.coreColour,
                   "print: the material inside the colour depth; a palette material's name or 'clear'")
        ->type_name("MATERIAL")
        ->default_str("white");
    app.add_flag("--conservative", options.run.settings.conservative,
                 "also set every voxel the surface touches (exact triangle-box overlap): thin parts never vanish");
    auto* quiet = app.add_flag("-q,--quiet", options.quiet, "no progress, result lines or warnings; errors only");
    app.add_flag("-v,--verbose", options.verbose, "also the engine's console lines (extensions, grid, loading)")
        ->excludes(quiet);
    app.add_flag("--timings", options.timings, "print each step's wall time (\"time: <step> <seconds>\")");
    app.add_option("-o,--output", options.output, "output folder (instead of OUTDIR); in a batch the root the "
                                                 "outputs go under, mirroring DIR")
        ->type_name("DIR");

    auto* batch = app.add_option("-b,--batch", options.batchDir, "every mesh file of DIR (.obj, .stl, .ply, .gltf, .glb, .3mf, .off) into a folder named after it")
                      ->type_name("DIR");
    app.add_option("-j,--jobs", options.jobs, "batch: meshes voxelized at once (0: one per core)")
        ->check(CLI::Range(0, 256))
        ->type_name("N")
        ->needs(batch);
    app.add_flag("--recursive", options.recursive, "batch: sub-folders too")->needs(batch);
    app.add_flag("--skip-existing", options.skipExisting, "batch: skip meshes whose complete output is there")
        ->needs(batch);
    app.add_option("--shard", raw.shard, "batch: only the I-th of N shares of the sorted file list (1 <= I <= N)")
        ->type_name("I/N")
        ->needs(batch);
    app.add_option("--merge-summaries", options.mergeDir,
                   "merge DIR's shard summaries into DIR/batch-summary.json")
        ->type_name("DIR")
        ->excludes(batch);
    app.add_option("files", raw.positional, "MESH (the mesh file) and OUTDIR (the output folder)")
        ->expected(0, 2)
        ->type_name("")
        ->always_capture_default(false);
}

bool parseShard(const std::string& text, int& index, int& count) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return false;
    try {
        std::size_t used = 0;
        index = std::stoi(text.substr(0, slash), &used);
        if (used != slash) return false;
        const std::string n = text.substr(slash + 1);
        count = std::stoi(n, &used);
        if (used != n.size()) return false;
    } catch (const std::exception&) {
        return false;
    }
    return count >= 1 && index >= 1 && index <= count;
}

}  // namespace

bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    // Help and version answer whatever else is on the line (the parser
    // would check the other values first).
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") options.command = CliOptions::Command::Help;
        if (arg == "--version" && options.command != CliOptions::Command::Help)
            options.command = CliOptions::Command::Version;
    }
    if (options.command != CliOptions::Command::Voxelize) return true;
    CLI::App app("kubelmar-cli", "kubelmar-cli");
    RawValues raw;
    describe(app, options, raw);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        options.command = CliOptions::Command::Help;
        return true;
    } catch (const CLI::CallForVersion&) {
        options.command = CliOptions::Command::Version;
        return true;
    } catch (const CLI::ParseError& e) {
        std::string text = e.what();
        for (char& c : text)
            if (c == '\n') c = ' ';
        return fail(text.empty() ? e.get_name() : text);
    }
    RunSettings& settings = options.run.settings;
    settings.mode = *modeFromName(raw.mode);
    settings.depthPrecision = raw.precision == "full" ? DepthPrecision::Full : DepthPrecision::Byte;
    parseColourSource(raw.colour, settings.colour);
    settings.inside = *insideRuleFromName(raw.inside);
    options.run.limits.anyReference = raw.refs == "any";
    if (!raw.maxMemory.empty()) parseByteSize(raw.maxMemory, options.run.limits.maxMemoryBytes);
    options.run.output.formats = parseFormatList(raw.formats).formats;
    if (!raw.shard.empty() && !parseShard(raw.shard, options.shardIndex, options.shardCount))
        return fail("--shard: '" + raw.shard + "' is not I/N with 1 <= I <= N");
    if (raw.grid.preset == "list") {
        options.command = CliOptions::Command::ListPresets;
        return true;
    }
    if (raw.crop && raw.grid.grid == "cube") return fail("--crop: is --grid box, not --grid cube");
    if (raw.crop) raw.grid.grid = "box";
    if (std::string why; !resolveGridOptions(raw.grid, settings.grid, &why)) return fail(why);
    if (std::string why; !resolvePrintOptions(raw.print, settings.mode, settings.print, &why)) return fail(why);
    const auto& formats = options.run.output.formats;
    if (settings.print.palette.empty() && std::find(formats.begin(), formats.end(), OutputFormat::Materials) != formats.end())
        return fail("--format materials: needs a --palette whose materials it writes");
    if (!options.depthImages.empty() && settings.mode != VoxelMode::DepthBuffer)
        return fail("--depth-images: only the depth mode makes depth pictures (add -m depth)");

    if (!options.mergeDir.empty()) {
        options.command = CliOptions::Command::MergeSummaries;
        if (!raw.positional.empty()) return fail("--merge-summaries takes no MESH or OUTDIR");
        return true;
    }
    if (!options.batchDir.empty()) {
        options.command = CliOptions::Command::Batch;
        if (!raw.positional.empty()) return fail("--batch takes no MESH or OUTDIR (use -o for an output root)");
        if (!options.report.empty())
            return fail("--report: describes one mesh; a batch writes batch-summary.json");
        if (!options.run.previewPath.empty()) return fail("--preview: pictures one mesh, not a batch");
        return true;
    }
    const std::size_t wanted = options.output.empty() ? 2 : 1;
    if (raw.positional.size() != wanted)
        return fail(options.output.empty() ? "expected MESH and OUTDIR" : "expected MESH (OUTDIR is given by -o)");
    options.input = raw.positional[0];
    if (options.output.empty()) options.output = raw.positional[1];
    return true;
}

std::string cliHelp() {
    CLI::App app("kubelmar-cli", "kubelmar-cli");
    CliOptions options;
    RawValues raw;
    describe(app, options, raw);
    return app.help();
}

std::string gridPresetList() {
    std::string text;
    for (const GridPreset& preset : gridPresets()) text += preset.name + "  " + preset.description + "\n";
    return text;
}

}  // namespace kubelmar
