#include "formats/output_formats.h"

#include <algorithm>

#include "formats/binvox_writer.h"
#include "formats/npy_writer.h"
#include "formats/nrrd_writer.h"
#include "formats/vdb_writer.h"
#include "formats/vox_writer.h"

namespace kubelmar {

namespace {

constexpr OutputFormat kAllFormats[] = {OutputFormat::Png, OutputFormat::Binvox, OutputFormat::Nrrd,
                                        OutputFormat::Npy, OutputFormat::Vox,  OutputFormat::Vdb};

std::string validNames() {
    std::string names;
    for (OutputFormat format : kAllFormats) names += std::string(names.empty() ? "" : ", ") + formatName(format);
    return names;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

const char* formatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Png: return "png";
        case OutputFormat::Binvox: return "binvox";
        case OutputFormat::Nrrd: return "nrrd";
        case OutputFormat::Npy: return "npy";
        case OutputFormat::Vox: return "vox";
        case OutputFormat::Vdb: return "vdb";
    }
    return "";
}

bool FormatList::has(OutputFormat format) const {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

FormatList parseFormatList(std::string_view text) {
    FormatList list;
    auto failWith = [&](std::string message) {
        list.ok = false;
        list.error = std::move(message);
        list.formats.clear();
        return list;
    };
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view name = trimmed(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        auto known = std::find_if(std::begin(kAllFormats), std::end(kAllFormats),
                                  [&](OutputFormat f) { return name == formatName(f); });
        if (known == std::end(kAllFormats)) {
            return failWith(name.empty() ? "ERROR: empty name in format list \"" + std::string(text) +
                                               "\" (valid: " + validNames() + ")"
                                         : "ERROR: unknown format \"" + std::string(name) +
                                               "\" (valid: " + validNames() + ")");
        }
        if (*known == OutputFormat::Vdb && !vdbAvailable())
            return failWith("ERROR: format \"vdb\" is not available: this build has no OpenVDB");
        if (!list.has(*known)) list.formats.push_back(*known);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return list;
}

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
            case OutputFormat::Png: break;
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

std::vector<std::string> formatFileNames(const std::vector<OutputFormat>& formats, const std::string& stem) {
    std::vector<std::string> names;
    for (OutputFormat format : formats)
        if (format != OutputFormat::Png) names.push_back(stem + "." + formatName(format));
    return names;
}

}  // namespace kubelmar
