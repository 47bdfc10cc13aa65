#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kubelmar {

enum class OutputFormat { Png, Binvox, Nrrd, Npy, Vox, Vdb, Materials };

// The exchange formats are one <stem>.<ext> file each; the PNG stack and the
// per-material stacks (materials/<material>/slice...) are streamed stacks.
inline bool isExchangeFormat(OutputFormat format) {
    return format != OutputFormat::Png && format != OutputFormat::Materials;
}

// Every format, "vdb" included whether or not this build can write it.
std::span<const OutputFormat> allFormats();

// "png", "binvox", "nrrd", "npy", "vox", "vdb"; also the file extensions
// (the PNG stack has its own names).
const char* formatName(OutputFormat format);

// A parsed --format list: each format once, in the order first named.
struct FormatList {
    bool ok = true;
    std::string error;  // one line when !ok
    std::vector<OutputFormat> formats;
    bool has(OutputFormat format) const;
};

// Parses a comma-separated list such as "png,binvox,vox" (case-sensitive,
// blanks around names allowed). An unknown or empty name is an error that
// names it and lists the valid ones; "vdb" is refused in a build without
// OpenVDB.
FormatList parseFormatList(std::string_view text);

// False in a build without OpenVDB: "vdb" is then refused.
bool vdbAvailable();

}  // namespace kubelmar
