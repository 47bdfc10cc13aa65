#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/grid_box.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// Everything volume.json records about one run.
struct VolumeDescription {
    VolumeInfo info;           // the stack as the engine streamed it
    GridBox grid;              // what the exchange formats cover (cube or crop)
    bool cropped = false;
    std::uint64_t filledVoxels = 0;   // in the whole stack
    // In the material encoding: voxels of each of info.palette's materials.
    std::vector<std::uint64_t> materialVoxels;
    std::vector<std::string> files;   // names written into the output folder
    std::string programVersion;
};

// The JSON text (format version 1): source, mode, encoding, unit and scale,
// grid shape (and preset), N, dims, voxel edge per axis (and the scalar
// voxelSize for cubic voxels, null otherwise), the stack's origin, slice
// size and its slice / row / column axes as signed mesh axes ("-y"), how
// empty and filled voxels are encoded, the exchange grid (dims, origin,
// edges, first voxel in the run's grid), the filled count, in the material
// encoding the palette (each material's name, sRGB or null, pixel and voxel
// count), the files and the program version. Lengths in output units (file
// units times scale).
std::string volumeJsonText(const VolumeDescription& description);

inline constexpr std::string_view kVolumeJsonName = "volume.json";

// Writes the text to `path` (in place: the run's stage makes it atomic).
WriteResult writeVolumeJson(const std::string& path, const VolumeDescription& description);

// "+x", "-y", ...
std::string signedAxisName(SignedAxis axis);

// Counts the filled voxels of the stack as it streams by and writes
// <directory>/volume.json at end(). setFiles() may change the file list up
// to then (e.g. once the caller knows what its other consumers wrote).
class VolumeJsonConsumer : public SliceConsumer {
public:
    VolumeJsonConsumer(std::string directory, std::string programVersion, std::vector<std::string> files,
                       bool cropped);
    void setFiles(std::vector<std::string> files) { description_.files = std::move(files); }
    const VolumeDescription& description() const { return description_; }

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) override;
    WriteResult end() override;

private:
    std::string directory_;
    VolumeDescription description_;
    std::vector<std::uint32_t> materialWords_;  // each material's pixel as a 32-bit word
};

}  // namespace kubelmar
