#pragma once

#include <string>
#include <utility>

#include "formats/grid_volume.h"
#include "volume/write_result.h"

namespace kubelmar {

// One exchange format written from a whole volume. The grid's index
// (i, j, k) runs along the mesh file's +x, +y, +z; the voxel edges and the
// grid's origin are in output units (GridBox). A writer leaves no partial
// file behind on failure.
class VolumeFileWriter {
public:
    explicit VolumeFileWriter(std::string path) : path_(std::move(path)) {}
    virtual ~VolumeFileWriter() = default;
    const std::string& path() const { return path_; }
    virtual WriteResult write(const GridVolume& volume) = 0;
    // A line worth telling the user about the last write (e.g. how far
    // colours were moved to fit a palette); empty when there is none.
    virtual std::string note() const { return {}; }
    // Why this format can't hold a grid like `box` (one line), or empty.
    // Asked before the volume is gathered, so a run fails at its start.
    virtual std::string refusal(const GridBox&) const { return {}; }

protected:
    std::string path_;
};

}  // namespace kubelmar
