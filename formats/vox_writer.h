#pragma once

#include "formats/volume_file_writer.h"

namespace kubelmar {

// MagicaVoxel .vox (version 150). The format's z is up, so the grid is
// turned a quarter about x (a rotation, not a mirror): vox (x, y, z) =
// (i, dims[2] - 1 - k, j) for the mesh's +y up. Models hold at most 256
// voxels per axis; a larger grid is cut into 256^3 tiles, each a model placed
// by the scene graph (root nTRN, one nGRP, an nTRN + nSHP per model) so that
// every voxel keeps its integer position. Colours are quantised to at most
// 255 palette entries; an occupancy volume uses one white entry. Voxels are
// cubes in every .vox reader: a grid with unequal edges is refused.
class VoxWriter : public VolumeFileWriter {
public:
    using VolumeFileWriter::VolumeFileWriter;
    WriteResult write(const GridVolume& volume) override;
    std::string refusal(const GridBox& box) const override;
    // Largest RGB distance of a voxel's colour from its palette entry in the
    // last file written (0 when the palette is exact).
    double maxColourError() const { return maxColourError_; }
    std::string note() const override { return note_; }

private:
    double maxColourError_ = 0.0;
    std::string note_;
};

}  // namespace kubelmar
