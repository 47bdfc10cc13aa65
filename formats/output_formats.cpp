#include "formats/output_formats.h"

#include <algorithm>

#include "formats/binvox_writer.h"
#include "formats/npy_writer.h"
#include "formats/nrrd_writer.h"
#include "formats/vdb_writer.h"
#include "formats/vox_writer.h"

namespace kubelmar {

std::string outputStem(const std::string& meshPath) {
    const std::size_t slash = meshPath.find_last_of('/');
    std::string name = slash == std::string::npos ? meshPath : meshPath.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string formatFilePath(OutputFormat format, const FormatOutput& output) {
    std::string path = output.directory;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + output.stem + "." + formatName(format);
}

std::unique_ptr<WholeVolumeConsumer> makeFormatConsumer(const std::vector<OutputFormat>& formats,
                                                  const FormatOutput& output) {
    std::vector<std::unique_ptr<VolumeFileWriter>> writers;
    for (OutputFormat format : formats) {
        const std::string path = formatFilePath(format, output);
        switch (format) {
            case OutputFormat::Png:
            case OutputFormat::Materials: break;
            case OutputFormat::Binvox: writers.push_back(std::make_unique<BinvoxWriter>(path)); break;
            case OutputFormat::Nrrd: writers.push_back(std::make_unique<NrrdWriter>(path)); break;
            case OutputFormat::Npy: writers.push_back(std::make_unique<NpyWriter>(path)); break;
            case OutputFormat::Vox: writers.push_back(std::make_unique<VoxWriter>(path)); break;
            case OutputFormat::Vdb: writers.push_back(std::make_unique<VdbWriter>(path)); break;
        }
    }
    if (writers.empty()) return nullptr;
    return std::make_unique<WholeVolumeConsumer>(std::move(writers), output.crop);
}

bool isFormatFileName(std::string_view name, std::string_view stem) {
    if (stem.empty() || name.size() <= stem.size() + 1 || name.substr(0, stem.size()) != stem ||
        name[stem.size()] != '.')
        return false;
    const std::string_view extension = name.substr(stem.size() + 1);
    for (OutputFormat format : allFormats())
        if (isExchangeFormat(format) && extension == formatName(format)) return true;
    return false;
}

std::vector<std::string> formatFileNames(const std::vector<OutputFormat>& formats, const std::string& stem) {
    std::vector<std::string> names;
    for (OutputFormat format : formats)
        if (isExchangeFormat(format)) names.push_back(stem + "." + formatName(format));
    return names;
}

}  // namespace kubelmar
