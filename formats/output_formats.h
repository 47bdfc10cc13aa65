#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format_list.h"
#include "formats/whole_volume_consumer.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

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

// The file names (no folder) makeFormatConsumer's consumer writes.
std::vector<std::string> formatFileNames(const std::vector<OutputFormat>& formats, const std::string& stem);

// Whether `name` is <stem>.<ext> for any exchange format (whichever a run
// asks for): a file an earlier run may have written. An empty stem owns none.
bool isFormatFileName(std::string_view name, std::string_view stem);

}  // namespace kubelmar
