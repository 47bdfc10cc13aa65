#include "cli/run_report.h"

#include <sys/resource.h>

#include <cstdio>
#include <sstream>

#include "formats/format_list.h"
#include "formats/json_text.h"
#include "io/checked_file.h"

namespace kubelmar {

namespace {

// The chosen voxel edges: null (from --size), one number, or [x, y, z].
std::string edgesJson(const GridSettings& grid) {
    const auto& e = grid.edge;
    if (!(e[0] > 0)) return "null";
    if (e[0] == e[1] && e[1] == e[2]) return numberText(e[0]);
    std::ostringstream list;
    list << '[' << numberText(e[0]) << ", " << numberText(e[1]) << ", " << numberText(e[2]) << ']';
    return list.str();
}

}  // namespace

std::string runReportJson(const CliOptions& options, const RunReport& r, long peakMemoryKiB,
                          const std::string& programVersion) {
    const RunSettings& o = options.run.settings;
    std::vector<std::string> formats;
    for (OutputFormat format : options.run.output.formats) formats.push_back(formatName(format));
    const auto n = static_cast<unsigned long long>(r.size);
    std::ostringstream out;
    out << "{\n"
        << "  \"report\": \"kubelmar-run\",\n"
        << "  \"version\": 1,\n"
        << "  \"program\": " << jsonString("kubelmar-cli " + programVersion) << ",\n"
        << "  \"input\": " << jsonString(r.job.meshPath) << ",\n"
        << "  \"output\": " << jsonString(r.job.outputDirectory) << ",\n"
        << "  \"status\": " << jsonString(statusName(r.status)) << ",\n"
        << "  \"error\": " << jsonStringOrNull(r.errorText()) << ",\n"
        << "  \"settings\": {\n"
        << "    \"mode\": " << jsonString(modeName(o.mode)) << ",\n"
        << "    \"size\": " << o.size << ",\n"
        << "    \"grid\": " << jsonString(o.grid.shape == GridShape::Box ? "box" : "cube") << ",\n"
        << "    \"voxelSize\": " << edgesJson(o.grid) << ",\n"
        << "    \"unit\": " << jsonStringOrNull(o.grid.unit) << ",\n"
        << "    \"scale\": " << numberText(o.grid.scale) << ",\n"
        << "    \"preset\": " << jsonStringOrNull(o.grid.preset) << ",\n"
        << "    \"depthPrecision\": " << jsonString(o.depthPrecision == DepthPrecision::Full ? "full" : "byte") << ",\n"
        << "    \"colour\": " << jsonString(colourSourceName(o.colour)) << ",\n"
        << "    \"inside\": " << jsonString(insideRuleName(o.inside)) << ",\n"
        << "    \"conservative\": " << (o.conservative ? "true" : "false") << ",\n"
        << "    \"formats\": " << jsonStringList(formats) << ",\n"
        << "    \"crop\": " << (o.grid.shape == GridShape::Box ? "true" : "false") << ",\n"
        << "    \"depthImages\": " << jsonStringOrNull(options.depthImages) << ",\n"
        << "    \"palette\": " << jsonStringOrNull(o.print.palette.name) << ",\n"
        << "    \"dither\": " << jsonString(ditherName(o.print.dither)) << ",\n"
        << "    \"colourDepth\": " << (o.print.colourDepth ? numberText(*o.print.colourDepth) : std::string("null")) << "\n"
        << "  },\n"
        << "  \"mesh\": {\"faces\": " << r.topology.faces << ", \"boundaryEdges\": " << r.topology.boundaryEdges
        << ", \"nonManifoldEdges\": " << r.topology.nonManifoldEdges
        << ", \"inconsistentEdges\": " << r.topology.inconsistentEdges
        << ", \"flippedFaces\": " << r.topology.flippedFaces << ", \"shells\": " << r.topology.shells
        << ", \"closedShells\": " << r.topology.closedShells << "},\n"
        << "  \"size\": " << r.size << ",\n"
        << "  \"phases\": [";
    for (std::size_t k = 0; k < r.phases.size(); ++k)
        out << (k ? ",\n" : "\n") << "    {\"step\": " << jsonString(r.phases[k].label)
            << ", \"seconds\": " << jsonSeconds(r.phases[k].seconds) << "}";
    out << (r.phases.empty() ? "],\n" : "\n  ],\n")
        << "  \"seconds\": " << jsonSeconds(r.seconds) << ",\n"
        << "  \"peakMemoryKiB\": " << peakMemoryKiB << ",\n"
        << "  \"filesWritten\": " << r.filesWritten << ",\n"
        << "  \"filledVoxels\": " << r.filledVoxels << ",\n"
        << "  \"totalVoxels\": " << n * n * n << ",\n"
        << "  \"warnings\": " << jsonStringList(r.warningTexts()) << "\n"
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
