#pragma once

#include <string>

#include "engine/run_settings.h"

namespace kubelmar {

struct CliOptions {
    enum class Command { Voxelize, Batch, MergeSummaries, Help, Version, ListPresets };
    Command command = Command::Voxelize;
    // What each mesh is voxelized with and what its output holds: the
    // runner's own value, filled in by the options (--mode, --size,
    // --voxel-size, --depth-precision, --parity-votes, --colour, --format,
    // --crop, --preview).
    RunRequest run;
    bool quiet = false;    // errors only
    bool verbose = false;  // the engine's console lines too (on stderr)
    bool timings = false;  // per-step wall times on stderr
    std::string depthImages;  // --depth-images: where the depth mode's six pictures go; empty: nowhere
    std::string report;       // --report: JSON run report path, "-" for stdout
    std::string input;        // mesh file
    std::string output;       // output directory; in a batch the root the outputs mirror into (may be empty)
    std::string batchDir;     // --batch
    std::string mergeDir;     // --merge-summaries
    int jobs = 0;             // --jobs; 0: one per core
    bool recursive = false;
    bool skipExisting = false;
    int shardIndex = 1;  // --shard I/N: 1 <= I <= N
    int shardCount = 1;
};

// Parses argv (argv[0] the program). Never prints or exits: false with a
// one-line reason naming the option on bad arguments. --help and --version
// set the command and return true.
bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string* error);

// The generated help: every option with its default.
std::string cliHelp();

// The grid presets, one per line: name and what it is.
std::string gridPresetList();

// Appended to each argument error.
constexpr const char* kCliHelpHint = "Run with --help for more information.";

}  // namespace kubelmar
