#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/fan_out_consumer.h"
#include "formats/output_formats.h"
#include "formats/output_request.h"
#include "formats/png_stack_writer.h"
#include "formats/volume_json.h"
#include "io/output_stage.h"

namespace kubelmar {

// Everything a run writes, as one consumer: the PNG stack (slices and, in
// the clipping mode, voxelscale.txt) when asked, the exchange formats, and
// volume.json, written last, only when everything else was. All of it is
// written into a hidden folder inside the output folder and moved into
// place only when every file was written and closed: a failed or cancelled
// run leaves the output folder as it was, and a finished one replaces the
// earlier stack whole (files that are no stack's are never touched).
class RunOutput final : public SliceConsumer {
public:
    explicit RunOutput(const OutputRequest& request);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) override;
    WriteResult end() override;
    void abort() override;

    // Lines worth showing after end() (e.g. the .vox colour error).
    std::vector<std::string> notes() const;

private:
    // A writer's failure names the staged file: name the file it stands for.
    WriteResult outsideNames(WriteResult result) const;

    OutputRequest request_;
    OutputStage stage_;
    std::string stagedAt_;  // the stage folder of the last begin()
    std::unique_ptr<PngStackWriter> png_;
    WholeVolumeConsumer* formats_ = nullptr;  // owned by fan_
    std::unique_ptr<FanOutConsumer> fan_;
};

}  // namespace kubelmar
