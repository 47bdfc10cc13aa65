#pragma once

#include "formats/volume_file_writer.h"

namespace kubelmar {

// NRRD ("NRRD0004"), uint8, gzip-encoded data, x fastest. An occupancy
// volume is 3-D (0 empty, 1 filled); a colour volume 4-D with a first axis
// of kind RGBA-color (empty voxels 0, 0, 0, 0; filled R, G, B, 255).
// "space directions" holds the voxel edge along x, y, z and "space origin"
// the centre of voxel (0, 0, 0), both in file units (NRRD places samples at
// voxel centres).
class NrrdWriter : public VolumeFileWriter {
public:
    using VolumeFileWriter::VolumeFileWriter;
    WriteResult write(const GridVolume& volume) override;
};

}  // namespace kubelmar
