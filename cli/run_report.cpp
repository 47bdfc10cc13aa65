#include "cli/run_report.h"

#include <sys/resource.h>

#include <cstdio>
#include <sstream>

#include "cli/json_text.h"
#include "io/checked_file.h"

namespace kubelmar {

std::string runReportJson(const RunReport& report, const std::string& programVersion) {
    const CliOptions& o = *report.options;
    const FileOutcome& r = report.outcome;
    std::vector<std::string> formats;
    std::stringstream list(o.formats);
    for (std::string f; std::getline(list, f, ',');) formats.push_back(f);
    const auto n = static_cast<unsigned long long>(r.size);
    std::ostringstream out;
    out << "{\n"
        << "  \"report\": \"kubelmar-run\",\n"
        << "  \"version\": 1,\n"
        << "  \"program\": " << jsonString("kubelmar-cli " + programVersion) << ",\n"
        << "  \"input\": " << jsonString(r.item.meshPath) << ",\n"
        << "  \"output\": " << jsonString(r.item.outputDirectory) << ",\n"
        << "  \"status\": " << jsonString(statusName(r.status)) << ",\n"
        << "  \"error\": " << jsonStringOrNull(r.error) << ",\n"
        << "  \"settings\": {\n"
        << "    \"mode\": " << jsonString(modeName(o.mode)) << ",\n"
        << "    \"size\": " << o.size << ",\n"
        << "    \"voxelSize\": " << (o.voxelEdge > 0 ? numberText(o.voxelEdge) : "null") << ",\n"
        << "    \"depthPrecision\": " << jsonString(o.fullDepthPrecision ? "full" : "byte") << ",\n"
        << "    \"colour\": " << jsonString(colourSourceName(o.colour)) << ",\n"
        << "    \"formats\": " << jsonStringList(formats) << ",\n"
        << "    \"crop\": " << (o.crop ? "true" : "false") << ",\n"
        << "    \"depthImages\": " << jsonStringOrNull(o.depthImages) << "\n"
        << "  },\n"
        << "  \"size\": " << r.size << ",\n"
        << "  \"phases\": [";
    for (std::size_t k = 0; k < report.phases.size(); ++k)
        out << (k ? ",\n" : "\n") << "    {\"step\": " << jsonString(report.phases[k].label)
            << ", \"seconds\": " << jsonSeconds(report.phases[k].seconds) << "}";
    out << (report.phases.empty() ? "],\n" : "\n  ],\n")
        << "  \"seconds\": " << jsonSeconds(r.seconds) << ",\n"
        << "  \"peakMemoryKiB\": " << report.peakMemoryKiB << ",\n"
        << "  \"filesWritten\": " << r.filesWritten << ",\n"
        << "  \"filledVoxels\": " << r.filledVoxels << ",\n"
        << "  \"totalVoxels\": " << n * n * n << ",\n"
        << "  \"warnings\": " << jsonStringList(r.warnings) << "\n"
        << "}\n";
    return out.str();
}

long peakMemoryKiB() {
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;  // Linux: KiB
}

std::string writeReportFile(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return {};
    }
    return writeWholeFile(path, text, FileCommit::Replace).message();
}

}  // namespace kubelmar
