#pragma once

#include <string>

#include "voxel/progress.h"
#include "voxel/volume.h"
#include "voxel/write_result.h"

namespace kubelmar {

// directory + "/slice" + (100000 + s) + ".png"; the directory text is used
// as it is (a trailing separator gives a doubled one).
std::string sliceFileName(const std::string& directory, int s);

// Writes slice s = 0..N-1 as an N x N RGBA PNG, image row r and column c
// from voxel (s, r, c). Colour stack: opaque (R, G, B), empty voxels opaque
// black. Occupancy stack: byte 255 gives opaque white, anything else
// transparent black. Reports s to `progress` before each slice; stops at the
// first file that can't be written and prints its "ERROR: " line to stderr.
WriteResult saveColorSlices(const VoxelVolume& voxels, const std::string& directory,
                            Progress& progress);
WriteResult saveOccupancySlices(const VoxelVolume& voxels, const std::string& directory,
                                Progress& progress);

// "voxelscale.txt": three lines "x v", "y v", "z v" with v = meshExtent / N
// (single precision, six significant digits): a voxel's edge in file units.
WriteResult saveVoxelScale(const std::string& directory, float meshExtent, int size);

}  // namespace kubelmar
