#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "colour/ditherer.h"
#include "colour/print_settings.h"
#include "volume/slice_consumer.h"
#include "volume/slice_shape.h"

namespace kubelmar {

// The last step before the outputs: every filled voxel becomes exactly one
// of the palette's materials (the material encoding), coloured voxels by
// the dither, core voxels the core's material; empty voxels stay empty.
// Without a palette it writes the colours as they are (the colour
// encoding), with the core opaque white.
//
// A mode's plain stack arrives through slice(): in the colour encoding each
// filled voxel is coloured, in the occupancy encoding each is core. The
// solid colouring hands over colours and roles through colouredSlice().
// Memory: a few slices.
class PrintStage final : public SliceConsumer {
public:
    // `settings` must be valid (coreMaterial() finds the core).
    PrintStage(SliceConsumer& inner, const PrintSettings& settings);

    // The volume as the outputs see it: the material (or colour) encoding.
    static VolumeInfo printedInfo(const VolumeInfo& info, const PrintSettings& settings);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    // `rgba`: sRGB colours of the coloured voxels; `role`: a VoxelRole per pixel.
    WriteResult colouredSlice(int s, const std::uint8_t* rgba, const std::uint8_t* role);
    WriteResult end() override { return inner_.end(); }
    void abort() override { inner_.abort(); }

private:
    SliceConsumer& inner_;
    PrintSettings settings_;
    int core_ = -1;  // palette index; -1 without a palette
    std::unique_ptr<Ditherer> ditherer_;
    SliceEncoding incoming_ = SliceEncoding::Colour;
    SliceShape shape_;
    std::vector<std::uint8_t> roles_, materials_, out_;
};

}  // namespace kubelmar
