#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/format_list.h"
#include "io/output_stage.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// Which files in an output folder belong to a stack. Each writer knows its
// own names (png_stack_writer.h, output_formats.h, volume_json.h); this is
// where they are put together, for volume.json's list and for OutputStage.

// The names (no folder) one run writes for `info`: the PNG stack's when
// png is listed, then each exchange format's <stem>.<ext>, then volume.json.
std::vector<std::string> stackFileNames(const std::vector<OutputFormat>& formats, const VolumeInfo& info,
                                        const std::string& stem);

// Whether `name` is one that a run with this stem may have written, for any
// N, mode and format list: the files the next run replaces or removes.
// Anything else in the folder is never touched. An empty stem owns none of
// the <stem>.* names.
bool isStackFileName(std::string_view name, std::string_view stem);

// Whether `name` is a folder a stack writes whole (the per-material
// stacks' "materials"): an earlier one is replaced or removed whole.
bool isStackFolderName(std::string_view name);

// isStackFileName for one stem, as OutputStage::open takes it.
OwnedNames stackOwnedNames(std::string stem);

}  // namespace kubelmar
