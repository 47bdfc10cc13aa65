#include "formats/run_output.h"

#include <algorithm>

namespace kubelmar {

RunOutput::RunOutput(const OutputRequest& request) : request_(request) {
    const FormatOutput output{request.directory, outputStem(request.meshPath), request.crop};
    if (std::find(request.formats.begin(), request.formats.end(), OutputFormat::Png) != request.formats.end()) {
        png_ = std::make_unique<PngStackWriter>(request.directory);
        fan_.add(*png_);
    }
    std::unique_ptr<WholeVolumeConsumer> formats = makeFormatConsumer(request.formats, output);
    formats_ = formats.get();
    if (formats) fan_.add(std::move(formats));
    auto json = std::make_unique<VolumeJsonConsumer>(request.directory, request.programVersion,
                                                     std::vector<std::string>{}, request.crop);
    json_ = json.get();
    fan_.add(std::move(json));
}

WriteResult RunOutput::begin(const VolumeInfo& info) {
    // The file list depends on N and the mode, known only now.
    std::vector<std::string> files;
    if (png_) {
        for (int s = 0; s < info.size; ++s) files.push_back(sliceFileName("", s).substr(1));
        if (info.mode == kModeClipping) files.push_back("voxelscale.txt");
    }
    for (const std::string& name : formatFileNames(request_.formats, outputStem(request_.meshPath)))
        files.push_back(name);
    files.push_back("volume.json");
    json_->setFiles(std::move(files));
    return fan_.begin(info);
}

WriteResult RunOutput::end() { return fan_.end(); }

std::vector<std::string> RunOutput::notes() const {
    return formats_ ? formats_->notes() : std::vector<std::string>{};
}

}  // namespace kubelmar
