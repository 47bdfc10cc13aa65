#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/whole_volume_consumer.h"
#include "voxel/slice_consumer.h"

namespace kubelmar {

enum class OutputFormat { Png, Binvox, Nrrd, Npy, Vox, Vdb };

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

// Where the format files go: <directory>/<stem>.<ext>; `crop` makes them
// cover only the mesh's bounding box instead of the whole N^3 cube.
struct FormatOutput {
    std::string directory;
    std::string stem;
    bool crop = false;
};

// The mesh file's name without folders and extension: "a/bunny.obj" -> "bunny".
std::string outputStem(const std::string& meshPath);

// <directory>/<stem>.<ext> for a format other than png.
std::string formatFilePath(OutputFormat format, const FormatOutput& output);

// One consumer writing every listed format except png (the caller adds the
// PNG stack writer itself), sharing one compact copy of the volume; null
// when the list holds png only. Its notes() after end() carry lines worth
// showing (the .vox colour error).
std::unique_ptr<WholeVolumeConsumer> makeFormatConsumer(const std::vector<OutputFormat>& formats,
                                                  const FormatOutput& output);

// The file names (no folder) makeFormatConsumer's consumer writes, for
// volume.json's list.
std::vector<std::string> formatFileNames(const std::vector<OutputFormat>& formats, const std::string& stem);

}  // namespace kubelmar
