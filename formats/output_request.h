#pragma once

#include <string>
#include <vector>

#include "formats/output_formats.h"

namespace kubelmar {

// What one run writes into its output folder.
struct OutputRequest {
    std::string directory;
    std::string meshPath;                              // names the format files (its stem)
    std::vector<OutputFormat> formats = {OutputFormat::Png};
    bool crop = false;                                 // exchange formats cover the mesh's box only
    std::string programVersion;
};

}  // namespace kubelmar
