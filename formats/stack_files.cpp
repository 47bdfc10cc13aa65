#include "formats/stack_files.h"

#include <algorithm>

#include "formats/material_stack_writer.h"
#include "formats/output_formats.h"
#include "formats/png_stack_writer.h"
#include "formats/volume_json.h"

namespace kubelmar {

std::vector<std::string> stackFileNames(const std::vector<OutputFormat>& formats, const VolumeInfo& info,
                                        const std::string& stem) {
    std::vector<std::string> names;
    if (std::find(formats.begin(), formats.end(), OutputFormat::Png) != formats.end()) names = pngStackFileNames(info);
    if (std::find(formats.begin(), formats.end(), OutputFormat::Materials) != formats.end())
        for (std::string& name : materialStackFileNames(info)) names.push_back(std::move(name));
    for (std::string& name : formatFileNames(formats, stem)) names.push_back(std::move(name));
    names.emplace_back(kVolumeJsonName);
    return names;
}

bool isStackFileName(std::string_view name, std::string_view stem) {
    return isPngStackFileName(name) || isFormatFileName(name, stem) || name == kVolumeJsonName;
}

bool isStackFolderName(std::string_view name) { return name == kMaterialsFolder; }

OwnedNames stackOwnedNames(std::string stem) {
    return [stem = std::move(stem)](std::string_view name) { return isStackFileName(name, stem); };
}

}  // namespace kubelmar
