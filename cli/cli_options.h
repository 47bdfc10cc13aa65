#pragma once

#include <string>

#include "mesh/material.h"

namespace kubelmar {

struct CliOptions {
    enum class Command { Voxelize, Batch, Help, Version };
    Command command = Command::Voxelize;
    int mode = 1;    // 0 depth-buffer, 1 clipping (the desktop program's start-up mode)
    int size = 512;  // N
    bool fullDepthPrecision = false;  // --depth-precision full
    std::string formats = "png";      // --format: comma-separated, checked when parsed
    bool crop = false;                // --crop
    ColourSource colour = ColourSource::Auto;  // --colour
    double voxelEdge = 0.0;           // --voxel-size S (file units); 0: --size decides
    bool quiet = false;
    bool timings = false;  // per-step wall times on stderr
    std::string input;      // OBJ file
    std::string output;     // output directory
    std::string batchDir;   // --batch
};

// Parses argv; false with a one-line reason on bad arguments.
bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string* error);

const char* cliUsage();

}  // namespace kubelmar
