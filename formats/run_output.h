#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/fan_out_consumer.h"
#include "formats/output_formats.h"
#include "formats/volume_json.h"
#include "voxel/png_stack_writer.h"

namespace kubelmar {

// What one run writes into its output folder.
struct OutputRequest {
    std::string directory;
    std::string meshPath;                              // names the format files (its stem)
    std::vector<OutputFormat> formats = {OutputFormat::Png};
    bool crop = false;                                 // exchange formats cover the mesh's box only
    std::string programVersion;
};

// Everything a run writes, as one consumer: the PNG stack (slices and, in
// the clipping mode, voxelscale.txt) when asked, the exchange formats, and
// volume.json, written last, only when everything else was.
class RunOutput final : public SliceConsumer {
public:
    explicit RunOutput(const OutputRequest& request);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override { return fan_.slice(s, rgba); }
    WriteResult end() override;
    void abort() override { fan_.abort(); }

    // Lines worth showing after end() (e.g. the .vox colour error).
    std::vector<std::string> notes() const;

private:
    OutputRequest request_;
    std::unique_ptr<PngStackWriter> png_;
    WholeVolumeConsumer* formats_ = nullptr;  // owned by fan_
    VolumeJsonConsumer* json_ = nullptr;      // owned by fan_
    FanOutConsumer fan_;
};

}  // namespace kubelmar
