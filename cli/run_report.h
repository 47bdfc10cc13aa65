#pragma once

#include <string>

#include "cli/cli_options.h"
#include "engine/runner.h"

namespace kubelmar {

// The --report JSON text (format version 1) of one mesh's run: the input,
// the settings as asked for, what happened, each step's time and the
// process's peak memory.
std::string runReportJson(const CliOptions& options, const RunReport& report, long peakMemoryKiB,
                          const std::string& programVersion);

// The process's peak resident memory so far, in KiB (getrusage).
long peakMemoryKiB();

// Writes `text` to `path` atomically, or to stdout for "-". Empty on
// success, else one line naming the file and the reason.
std::string writeReportFile(const std::string& path, const std::string& text);

}  // namespace kubelmar
