#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/runner.h"

namespace kubelmar {

struct BatchRequest {
    std::string directory;
    // Where outputs go: empty puts each beside its mesh (batchOutputDirectory);
    // otherwise under this root, mirroring the folders of `directory`.
    std::string outputRoot;
    bool recursive = false;  // walk sub-folders (hidden ones are left out)
    int shardIndex = 1;      // this run does share shardIndex of shardCount (1-based)
    int shardCount = 1;
};

// The mesh files of a batch (every format the loader reads), in order:
// sorted by relative path without regard to case (batchNameLess), then cut
// to the shard. Entries named like a mesh that can't be read come back as
// failed reports, sharded the same way.
struct BatchPlan {
    bool ok = false;
    std::string error;  // the folder can't be listed
    std::vector<MeshJob> items;
    std::vector<RunReport> unreadable;
};
BatchPlan planBatch(const BatchRequest& request);

// Whether position k (0-based) of the sorted list is in shard `index` of
// `count`: round robin, so shards stay even when neighbouring files are
// alike, and every file is in exactly one shard.
inline bool inShard(std::size_t k, int index, int count) {
    return count <= 1 || static_cast<int>(k % static_cast<std::size_t>(count)) == index - 1;
}

// True when `directory` holds a finished run: its volume.json (committed
// last, only by a run that wrote everything) and no hidden stage folder of a
// run that was killed while putting its stack in place.
bool outputComplete(const std::string& directory);

}  // namespace kubelmar
