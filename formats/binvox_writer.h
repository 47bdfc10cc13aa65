#pragma once

#include "formats/volume_file_writer.h"

namespace kubelmar {

// binvox: a text header ("#binvox 1", "dim", "translate", "scale", "data")
// and run-length pairs (value 0/1, count 1..255) of the occupancy, x slowest,
// then z, y fastest: index x * (dz * dy) + z * dy + y. "dim" lists the
// sizes in that order (x, z, y). "translate" is the grid's low corner and
// "scale" the longest side, both in output units, so that voxel (x, y, z)
// spans translate + [x, x + 1] * scale / max(dim) along x (and alike). The
// format has one scale, so it holds cubic voxels only: a grid of unequal
// sides keeps its three dims (a reader that assumes equal ones reads it
// wrongly), one with unequal edges is refused.
class BinvoxWriter : public VolumeFileWriter {
public:
    using VolumeFileWriter::VolumeFileWriter;
    WriteResult write(const GridVolume& volume) override;
    std::string refusal(const GridBox& box) const override;
};

}  // namespace kubelmar
