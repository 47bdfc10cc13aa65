#pragma once

#include <string>
#include <vector>

#include "formats/volume_file_writer.h"

namespace kubelmar {

// NumPy .npy, format version 1.0, uint8 in C order: occupancy as shape
// (k, j, i) = (dims[2], dims[1], dims[0]) with 0 empty and 1 filled, colour
// as (k, j, i, 4) RGBA (empty 0, 0, 0, 0; filled R, G, B, 255). The file
// holds no position: volume.json gives the voxel size and origin.
class NpyWriter : public VolumeFileWriter {
public:
    using VolumeFileWriter::VolumeFileWriter;
    WriteResult write(const GridVolume& volume) override;
};

// The 10-byte preamble and padded dictionary of a version 1.0 header for a
// uint8 C-order array of `shape`; a multiple of 64 bytes ending in '\n'.
std::string npyHeader(const std::vector<int>& shape);

}  // namespace kubelmar
