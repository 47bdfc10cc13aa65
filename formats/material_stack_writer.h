#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "volume/slice_consumer.h"
#include "volume/slice_shape.h"

namespace kubelmar {

// The folder the per-material stacks go in, inside the output folder.
inline constexpr std::string_view kMaterialsFolder = "materials";

// "materials/<material>/slice1NNNNN.png" for every material and slice of a
// material-encoded volume, in material order (no folder before them).
std::vector<std::string> materialStackFileNames(const VolumeInfo& info);

// One 1-bit PNG stack per palette material, the form printers that take a
// mask per material read: materials/<material>/slice1NNNNN.png, named as
// the main stack's slices, white where the voxel is that material, black
// elsewhere. Every file is checked; files go in place (the writer is meant
// for an OutputStage folder, which moves the materials folder whole). The
// volume must be in the material encoding.
class MaterialStackWriter final : public SliceConsumer {
public:
    explicit MaterialStackWriter(std::string directory) : directory_(std::move(directory)) {}

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override;

private:
    std::string folderOf(std::size_t material) const;

    std::string directory_;
    VolumeInfo info_;
    SliceShape shape_;
    std::vector<std::uint32_t> words_;  // each material's pixel as a 32-bit word
    std::vector<std::vector<std::uint8_t>> bits_;
    int written_ = 0;
};

}  // namespace kubelmar
