#pragma once

#include "formats/format_list.h"  // vdbAvailable()
#include "formats/volume_file_writer.h"

namespace kubelmar {

// OpenVDB .vdb through the OpenVDB library: a float fog-volume grid named
// "density" (1 on every filled voxel, active; background 0) and, for a
// colour volume, a Vec3s grid named "Cd" with R, G, B in 0..1 on the same
// voxels. Both carry the grid's transform: voxel size in file units, and
// index (i, j, k) centred at origin + (i + 0.5, j + 0.5, k + 0.5) * size,
// since OpenVDB puts index coordinates at voxel centres.
class VdbWriter : public VolumeFileWriter {
public:
    using VolumeFileWriter::VolumeFileWriter;
    WriteResult write(const GridVolume& volume) override;
};

}  // namespace kubelmar
