#pragma once

#include <string>
#include <vector>

#include "array_volume.h"
#include "formats/output_request.h"

namespace kubelmar {

// What a save wrote: ok with the file names (no folder), or the failure.
struct SaveResult {
    WriteResult written;
    std::vector<std::string> files;
    std::vector<std::string> notes;  // lines worth showing (the .vox colour error)
};

// Writes `volume` into output.directory (created when missing) as a run with
// output.formats writes it, through the same output (atomic stage, every
// writer, volume.json): its slices are streamed again from the arrays in the
// stack's own order. output.meshPath names the files (its stem); crop
// follows the volume. In a colour volume a filled voxel whose colour is
// black is written as (1, 1, 1), the darkest colour the stack tells apart
// from an empty voxel.
SaveResult saveVolumeArrays(const VolumeArrays& volume, OutputRequest output);

}  // namespace kubelmar
