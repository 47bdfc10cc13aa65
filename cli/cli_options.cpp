#include "cli/cli_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "formats/output_formats.h"
#include <string_view>
#include <vector>

namespace kubelmar {

const char* cliUsage() {
    return "Usage: kubelmar-cli [--mode clipping|depth] [--size N] [--depth-precision byte|full]\n"
           "                    [--quiet] [--timings] INPUT.obj OUTDIR\n"
           "       kubelmar-cli [--mode clipping|depth] [--size N] [--quiet] --batch DIR\n"
           "       kubelmar-cli --help | --version\n"
           "\n"
           "Voxelizes a triangle mesh (Wavefront OBJ) into an N x N x N volume written as N\n"
           "PNG slices (slice100000.png ...) in OUTDIR, created if missing.\n"
           "  --mode clipping  coloured surface shell, plus voxelscale.txt (default)\n"
           "  --mode depth     filled solid from six axis depth images\n"
           "  --size N         voxels per axis, 1 to 4096 (default 512)\n"
           "  --depth-precision byte|full\n"
           "                   depth mode: 8-bit depth pictures (default) or the depth\n"
           "                   buffer itself, exact to the voxel at every size\n"
           "  --voxel-size S   voxel edge in the mesh file's units instead of --size: N is\n"
           "                   the mesh's largest side over S, rounded up (1 to 4096)\n"
           "  --format LIST    comma-separated outputs: png (the slice stack, default),\n"
           "                   binvox, nrrd, npy, vox, vdb; volume.json is always written\n"
           "  --crop           exchange formats cover the mesh's box only, not the N^3 cube\n"
           "  --colour SOURCE  clipping colours from auto (the best the file has), texture,\n"
           "                   material (Kd) or vertex colours\n"
           "  --batch DIR      every *.obj of DIR into a folder named after each file\n"
           "  --quiet          no progress and no console lines; errors only\n"
           "  --timings        print each step's wall time (\"time: <step> <seconds>\")\n";
}

bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string* error) {
    std::vector<std::string> positional;
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.command = CliOptions::Command::Help;
            return true;
        } else if (arg == "--version") {
            options.command = CliOptions::Command::Version;
            return true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--timings") {
            options.timings = true;
        } else if (arg == "--mode") {
            if (!value(v)) return fail("--mode needs a value: clipping or depth");
            if (v == "clipping") options.mode = 1;
            else if (v == "depth") options.mode = 0;
            else return fail("unknown mode '" + v + "' (use clipping or depth)");
        } else if (arg == "--size") {
            if (!value(v)) return fail("--size needs a value: a whole number from 1 to 4096");
            const bool digits = !v.empty() && v.size() <= 4 && v.find_first_not_of("0123456789") == std::string::npos;
            const int n = digits ? std::stoi(v) : 0;
            if (n < 1 || n > 4096) return fail("unsupported size '" + v + "' (use a whole number from 1 to 4096)");
            options.size = n;
        } else if (arg == "--depth-precision") {
            if (!value(v)) return fail("--depth-precision needs a value: byte or full");
            if (v == "byte") options.fullDepthPrecision = false;
            else if (v == "full") options.fullDepthPrecision = true;
            else return fail("unknown depth precision '" + v + "' (use byte or full)");
        } else if (arg == "--format") {
            if (!value(v)) return fail("--format needs a list, e.g. png,binvox");
            const FormatList list = parseFormatList(v);
            if (!list.ok) return fail(list.error);
            options.formats = v;
        } else if (arg == "--colour" || arg == "--color") {
            if (!value(v)) return fail("--colour needs a value: auto, texture, material or vertex");
            if (!parseColourSource(v, options.colour))
                return fail("unknown colour source '" + v + "' (use auto, texture, material or vertex)");
        } else if (arg == "--crop") {
            options.crop = true;
        } else if (arg == "--voxel-size") {
            if (!value(v)) return fail("--voxel-size needs a length in the mesh file's units");
            char* end = nullptr;
            const double edge = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(edge > 0) || !std::isfinite(edge))
                return fail("--voxel-size '" + v + "' is not a positive length");
            options.voxelEdge = edge;
        } else if (arg == "--batch") {
            if (!value(v)) return fail("--batch needs a directory");
            options.command = CliOptions::Command::Batch;
            options.batchDir = v;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return fail("unknown option '" + std::string(arg) + "'");
        } else {
            positional.emplace_back(arg);
        }
    }
    if (options.command == CliOptions::Command::Batch) {
        if (!positional.empty()) return fail("--batch takes no INPUT or OUTDIR");
        return true;
    }
    if (positional.size() != 2) return fail("expected INPUT.obj and OUTDIR");
    options.input = positional[0];
    options.output = positional[1];
    return true;
}

}  // namespace kubelmar
