#pragma once

#include <string>

#include "mesh/material.h"
#include "volume/voxel_mode.h"

namespace kubelmar {

struct CliOptions {
    enum class Command { Voxelize, Batch, MergeSummaries, Help, Version };
    Command command = Command::Voxelize;
    VoxelMode mode = VoxelMode::Clipping;  // the desktop program's start-up mode
    int size = 512;  // N
    bool fullDepthPrecision = false;  // --depth-precision full
    std::string formats = "png";      // --format: comma-separated, checked when parsed
    bool crop = false;                // --crop
    ColourSource colour = ColourSource::Auto;  // --colour
    double voxelEdge = 0.0;           // --voxel-size S (file units); 0: --size decides
    bool quiet = false;    // errors only
    bool verbose = false;  // the engine's console lines too (on stderr)
    bool timings = false;  // per-step wall times on stderr
    std::string depthImages;  // --depth-images: where the depth mode's six pictures go; empty: nowhere
    std::string report;       // --report: JSON run report path, "-" for stdout
    std::string preview;      // --preview: one PNG of projections and sample slices
    int parityVotes = 0;      // --parity-votes 1 or 3; 0: chosen by the mesh
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

// Appended to each argument error.
constexpr const char* kCliHelpHint = "Run with --help for more information.";

}  // namespace kubelmar
