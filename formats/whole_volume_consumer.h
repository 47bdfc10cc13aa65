#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/grid_volume.h"
#include "formats/volume_file_writer.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// Gathers the streamed slices into one compact GridVolume (the N^3 cube, or
// the mesh's box when cropping) and hands it to each of its writers at
// end(), so that several formats share a single copy of the volume.
// begin() refuses a volume whose bits can't be allocated, naming the first
// writer's file.
class WholeVolumeConsumer : public SliceConsumer {
public:
    WholeVolumeConsumer(std::vector<std::unique_ptr<VolumeFileWriter>> writers, bool crop);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override;
    void abort() override;

    // The grid the files describe; valid after begin().
    const GridBox& grid() const { return volume_.box(); }
    // The writers' notes after end(), one line each (e.g. the .vox colour
    // error); for the front end to show as information, not as errors.
    std::vector<std::string> notes() const;

private:
    // The stack indices [first, end) along one axis that fall in the box,
    // the linear volume index the first adds and the change per step.
    struct StackRun {
        int first = 0, end = 0;
        std::int64_t indexAtFirst = 0, step = 0;
    };
    StackRun stackRun(SignedAxis axis) const;

    std::vector<std::unique_ptr<VolumeFileWriter>> writers_;
    bool crop_ = false;
    VolumeInfo info_;
    GridVolume volume_;
};

}  // namespace kubelmar
