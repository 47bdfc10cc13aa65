#pragma once

#include <array>
#include <optional>
#include <string>

#include "colour/print_settings.h"
#include "formats/output_request.h"
#include "mesh/load_limits.h"
#include "mesh/material.h"
#include "volume/inside_rule.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// How the depth-buffer mode reads its six depth pictures back.
enum class DepthPrecision {
    Byte,  // 8-bit grey pictures: the boundary moves in steps of N/256 voxels above 256
    Full,  // the depth buffer itself: exact to the voxel at every N
};

// Largest N the engine accepts; the GL implementation may allow less.
constexpr int kMaxVoxelSize = 4096;

// Which grid the volume lies on.
enum class GridShape {
    Cube,  // N x N x N, edge the mesh's largest side over N, centred on the mesh's box
    Box,   // the mesh's bounding box: its largest side N voxels (or the chosen
           // edges), the other sides ceil(side / edge) voxels, from the box's low corner
};

// Where a PNG stack's slice, row (image row, 0 at the top) and column indices
// run through the mesh's axes.
struct StackMapping {
    SignedAxis slice, row, column;
};

// The grid a run voxelizes on, as the user chose it. The cube is the default
// and gives exactly the N^3 stack of a plain `--size N` run.
struct GridSettings {
    GridShape shape = GridShape::Cube;
    // Voxel edge along the mesh's x, y, z in output units (the file's units
    // times `scale`). All 0: the largest side over N. Any above 0 means all
    // three are, and the shape is Box.
    std::array<double, 3> edge = {0, 0, 0};
    // The mesh file's coordinates are multiplied by this first (print a model
    // at a chosen size); the origin, edges and extents written out are scaled.
    double scale = 1.0;
    // What one output unit is: "" (not said), "mm", "cm", "m" or "in".
    std::string unit;
    // Empty: the mode's own mapping (clipping: slices down y; solids: up z).
    std::optional<StackMapping> stack;
    // The preset these settings came from, when one did ("" otherwise).
    std::string preset;
};

// One voxelization's settings: a plain value the front ends fill in.
struct RunSettings {
    VoxelMode mode = VoxelMode::Clipping;
    int size = 512;  // N: voxels along the mesh's largest side
    GridSettings grid;
    DepthPrecision depthPrecision = DepthPrecision::Byte;
    // The parity mode's rays per voxel: 1 (along z) or 3 (along x, y and z,
    // a voxel kept when two agree: closes small holes). 0: 1 for a closed
    // mesh, 3 when it has boundary edges.
    int parityVotes = 0;
    // The parity mode's inside rule: parity (even-odd) or nonzero (signed
    // crossings; needs OpenGL 4.3).
    InsideRule inside = InsideRule::Parity;
    // Every voxel the surface touches is also set (exact triangle-box
    // overlap), on top of what the mode's own rule sets.
    bool conservative = false;
    // Where the clipping mode's colours come from (texture, material, vertex).
    ColourSource colour = ColourSource::Auto;
    // The depth-buffer mode also writes its six pictures here when the
    // folder exists (relative paths against the working directory); empty:
    // never.
    std::string depthPictureDirectory;
    // Materials, dithering and the solid's colour depth for printing;
    // inactive by default.
    PrintSettings print;
};

// Everything a run is asked to do, as one value both front ends fill in:
// the voxelization settings, what the output holds, and the preview.
struct RunRequest {
    RunSettings settings;
    OutputRequest output;  // directory and meshPath are set per mesh
    // The report carries the volume's preview (projections and slices, as
    // the desktop program's Result panel shows them).
    bool keepPreview = false;
    // Also writes the preview picture (PNG) here; empty: none.
    std::string previewPath;
    // What loading the mesh may follow and spend.
    LoadLimits limits;
};


}  // namespace kubelmar
