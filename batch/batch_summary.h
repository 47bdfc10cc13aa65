#pragma once

#include <string>
#include <vector>

#include "batch/batch_plan.h"

namespace kubelmar {

// batch-summary.json for a whole batch; "batch-summary-<I>-of-<N>.json" for
// shard I of N, so shards writing into one folder never collide.
std::string batchSummaryFileName(int shardIndex, int shardCount);

// The summary's JSON text (format version 1): counts, then one line per
// file (relative path, output folder, status, seconds, N, files, voxels,
// error, warnings) in the batch's order. One line per file keeps the text
// easy to merge and to grep.
std::string batchSummaryJson(const std::vector<RunReport>& outcomes, int shardIndex, int shardCount,
                             double seconds);

struct SummaryCounts {
    int done = 0;
    int failed = 0;
    int skipped = 0;
};
SummaryCounts countOutcomes(const std::vector<RunReport>& outcomes);

// Merges the shard summaries of `directory` (all N of one shard count must
// be there) into batch-summary.json, files in the batch's order.
struct MergeResult {
    bool ok = false;
    std::string error;  // a shard missing, a summary unreadable or unwritable
    int shards = 0;
    SummaryCounts counts;
};
MergeResult mergeBatchSummaries(const std::string& directory);

}  // namespace kubelmar
