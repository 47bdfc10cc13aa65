#pragma once

#include <string>

#include "formats/output_request.h"
#include "mesh/load_limits.h"
#include "mesh/material.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// How the depth-buffer mode reads its six depth pictures back.
enum class DepthPrecision {
    Byte,  // 8-bit grey pictures: the boundary moves in steps of N/256 voxels above 256
    Full,  // the depth buffer itself: exact to the voxel at every N
};

// Largest N the engine accepts; the GL implementation may allow less.
constexpr int kMaxVoxelSize = 4096;

// One voxelization's settings: a plain value the front ends fill in.
struct RunSettings {
    VoxelMode mode = VoxelMode::Clipping;
    int size = 512;  // N
    // When above 0: the voxel edge in the mesh file's units, and N is the
    // mesh's largest side over it, rounded up (1 .. 4096).
    double voxelEdge = 0.0;
    DepthPrecision depthPrecision = DepthPrecision::Byte;
    // The parity mode's rays per voxel: 1 (along z) or 3 (along x, y and z,
    // a voxel kept when two agree: closes small holes). 0: 1 for a closed
    // mesh, 3 when it has boundary edges.
    int parityVotes = 0;
    // Where the clipping mode's colours come from (texture, material, vertex).
    ColourSource colour = ColourSource::Auto;
    // The depth-buffer mode also writes its six pictures here when the
    // folder exists (relative paths against the working directory); empty:
    // never.
    std::string depthPictureDirectory;
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
