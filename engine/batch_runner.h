#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "volume/progress.h"

namespace kubelmar {

// --- The desktop program's batch: one engine, on the caller's context, in
// the order of the listing.

struct BatchResult {
    bool listed = true;  // false: the directory couldn't be read (see error)
    std::string error;
    int done = 0;
    std::vector<std::string> failures;  // "<file>: <reason>", in batch order
};

// Makes the consumer that writes the volume of mesh file `meshPath` into
// `directory`.
using ConsumerFactory =
    std::function<std::unique_ptr<SliceConsumer>(const std::string& directory, const std::string& meshPath)>;

// Voxelizes every OBJ file of `directory` (listing and order of
// listObjFiles) with `settings`, each into batchOutputDirectory(file). A file
// that can't be read, holds no mesh or can't be written is reported on
// `errors` and the batch goes on. Each file done and the closing summary line
// go to `report`. The engine's GL context must be current.
BatchResult runBatch(Engine& engine, const RunSettings& settings, const std::string& directory,
                     const ConsumerFactory& makeConsumer, Progress& progress, std::ostream& report,
                     std::ostream& errors);

// --- The command line's batches: planned before any GL, sharded, and run
// on worker threads with a context each.

// What a batch does to one mesh file.
struct BatchItem {
    std::string meshPath;         // absolute
    std::string relativePath;     // against the batch folder, '/'-separated: names the file in summaries
    std::string outputDirectory;  // where its volume goes
};

// How one file of a batch (or a single run) ended.
struct FileOutcome {
    enum class Status { Done, Failed, Skipped };
    Status status = Status::Failed;
    BatchItem item;
    double seconds = 0.0;  // wall time of load and voxelization
    int size = 0;          // N actually used
    int filesWritten = 0;  // into outputDirectory only
    std::uint64_t filledVoxels = 0;
    std::string error;                  // one line naming the file; empty unless Failed
    std::vector<std::string> warnings;  // skipped faces, an empty volume, ...
};

const char* statusName(FileOutcome::Status status);

struct BatchRequest {
    std::string directory;
    // Where outputs go: empty puts each beside its mesh (batchOutputDirectory);
    // otherwise under this root, mirroring the folders of `directory`.
    std::string outputRoot;
    bool recursive = false;  // walk sub-folders (hidden ones are left out)
    int shardIndex = 1;      // this run does share shardIndex of shardCount (1-based)
    int shardCount = 1;
};

// The files of a batch, in order: sorted by relative path without regard to
// case (batchNameLess), then cut to the shard. Entries named like a mesh that
// can't be read come back as failed outcomes, sharded the same way.
struct BatchPlan {
    bool ok = false;
    std::string error;  // the folder can't be listed
    std::vector<BatchItem> items;
    std::vector<FileOutcome> unreadable;
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

// Voxelizes files on the thread that made it (it owns that thread's GL
// context).
class BatchWorker {
public:
    virtual ~BatchWorker() = default;
    virtual FileOutcome run(const BatchItem& item) = 0;
};
// Makes a worker on the calling thread; null and a reason when it can't
// (e.g. no GL context).
using WorkerFactory = std::function<std::unique_ptr<BatchWorker>(std::string* error)>;

// Runs `items` on `jobs` threads (at least 1, at most one per item), each
// with a worker of its own. Items are taken in order; outcomes come back in
// item order. `finished` is called for each outcome as it arrives, never
// from two threads at once. A thread whose worker can't be made fails the
// items it takes with the reason.
std::vector<FileOutcome> runBatch(const std::vector<BatchItem>& items, int jobs, const WorkerFactory& makeWorker,
                                  const std::function<void(const FileOutcome&)>& finished);

}  // namespace kubelmar
