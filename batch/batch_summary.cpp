#include "batch/batch_summary.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "batch/mesh_listing.h"
#include "formats/json_text.h"
#include "io/checked_file.h"

namespace kubelmar {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileLineStart = "    {\"file\": ";

std::string fileLine(const RunReport& r) {
    std::ostringstream out;
    out << kFileLineStart << jsonString(r.job.relativePath) << ", \"output\": "
        << jsonString(r.job.outputDirectory) << ", \"status\": " << jsonString(statusName(r.status))
        << ", \"seconds\": " << jsonSeconds(r.seconds) << ", \"size\": " << r.size
        << ", \"files\": " << r.filesWritten << ", \"voxels\": " << r.filledVoxels
        << ", \"error\": " << jsonStringOrNull(r.errorText()) << ", \"warnings\": " << jsonStringList(r.warningTexts())
        << "}";
    return out.str();
}

std::string summaryText(const std::vector<std::string>& lines, const SummaryCounts& counts, const std::string& shard,
                        double seconds) {
    std::ostringstream out;
    out << "{\n"
        << "  \"summary\": \"kubelmar-batch\",\n"
        << "  \"version\": 1,\n"
        << "  \"shard\": " << shard << ",\n"
        << "  \"done\": " << counts.done << ",\n"
        << "  \"failed\": " << counts.failed << ",\n"
        << "  \"skipped\": " << counts.skipped << ",\n"
        << "  \"seconds\": " << jsonSeconds(seconds) << ",\n"
        << "  \"files\": [";
    for (std::size_t k = 0; k < lines.size(); ++k) out << (k ? ",\n" : "\n") << lines[k];
    out << (lines.empty() ? "]\n" : "\n  ]\n") << "}\n";
    return out.str();
}

void countStatus(const std::string& line, SummaryCounts& counts) {
    if (line.find("\"status\": \"done\"") != std::string::npos) ++counts.done;
    else if (line.find("\"status\": \"skipped\"") != std::string::npos) ++counts.skipped;
    else ++counts.failed;
}

// The escaped relative path a file line starts with: the merge's sort key.
std::string fileKey(const std::string& line) {
    const std::size_t start = std::string(kFileLineStart).size();
    return line.substr(start, line.find("\", \"output\"") - start);
}

}  // namespace

std::string batchSummaryFileName(int shardIndex, int shardCount) {
    if (shardCount <= 1) return "batch-summary.json";
    return "batch-summary-" + std::to_string(shardIndex) + "-of-" + std::to_string(shardCount) + ".json";
}

SummaryCounts countOutcomes(const std::vector<RunReport>& outcomes) {
    SummaryCounts counts;
    for (const RunReport& r : outcomes) {
        if (r.status == RunReport::Status::Done) ++counts.done;
        else if (r.status == RunReport::Status::Skipped) ++counts.skipped;
        else ++counts.failed;
    }
    return counts;
}

std::string batchSummaryJson(const std::vector<RunReport>& outcomes, int shardIndex, int shardCount,
                             double seconds) {
    std::vector<std::string> lines;
    for (const RunReport& r : outcomes) lines.push_back(fileLine(r));
    const std::string shard = shardCount <= 1 ? "null"
                                              : jsonString(std::to_string(shardIndex) + "/" + std::to_string(shardCount));
    return summaryText(lines, countOutcomes(outcomes), shard, seconds);
}

MergeResult mergeBatchSummaries(const std::string& directory) {
    MergeResult result;
    static const std::regex name(R"(batch-summary-([0-9]+)-of-([0-9]+)\.json)");
    std::map<int, std::map<int, fs::path>> byCount;  // shard count -> index -> file
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::smatch m;
        const std::string file = it->path().filename().string();
        if (std::regex_match(file, m, name)) byCount[std::stoi(m[2])][std::stoi(m[1])] = it->path();
    }
    if (ec) {
        result.error = directory + ": " + ec.message();
        return result;
    }
    if (byCount.size() != 1) {
        result.error = directory + (byCount.empty() ? ": no shard summaries (batch-summary-I-of-N.json)"
                                                    : ": shard summaries of different shard counts");
        return result;
    }
    const auto& [count, shards] = *byCount.begin();
    for (int i = 1; i <= count; ++i) {
        if (!shards.count(i)) {
            result.error = directory + ": shard " + std::to_string(i) + " of " + std::to_string(count) +
                           " has no summary (" + batchSummaryFileName(i, count) + ")";
            return result;
        }
    }
    std::vector<std::string> lines;
    double seconds = 0.0;
    for (const auto& [index, path] : shards) {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(kFileLineStart, 0) == 0) {
                if (line.back() == ',') line.pop_back();
                lines.push_back(line);
                countStatus(line, result.counts);
            } else if (line.rfind("  \"seconds\": ", 0) == 0) {
                seconds = std::max(seconds, std::atof(line.c_str() + 13));  // the slowest shard
            }
        }
        if (in.bad()) {
            result.error = path.string() + ": can't be read";
            return result;
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const std::string& a, const std::string& b) { return batchNameLess(fileKey(a), fileKey(b)); });
    const IoResult written = writeWholeFile((fs::path(directory) / "batch-summary.json").string(),
                                            summaryText(lines, result.counts, "null", seconds), FileCommit::Replace);
    if (!written.ok) {
        result.error = written.message();
        return result;
    }
    result.shards = count;
    result.ok = true;
    return result;
}

}  // namespace kubelmar
