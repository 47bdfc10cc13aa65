#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/mesh_run.h"

namespace kubelmar {

// Everything --report records about one mesh's run.
struct RunReport {
    const CliOptions* options = nullptr;  // the settings as asked for
    FileOutcome outcome;                  // what happened
    std::vector<PhaseTime> phases;        // in order: load, GL start, the engine's steps
    long peakMemoryKiB = 0;               // the process's peak resident set
};

// The report as JSON text (format version 1).
std::string runReportJson(const RunReport& report, const std::string& programVersion);

// The process's peak resident memory so far, in KiB (getrusage).
long peakMemoryKiB();

// Writes `text` to `path` atomically, or to stdout for "-". Empty on
// success, else one line naming the file and the reason.
std::string writeReportFile(const std::string& path, const std::string& text);

}  // namespace kubelmar
