#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/runner.h"

namespace kubelmar {

// Voxelizes meshes on the thread that made it (it owns that thread's GL
// context, or runs on the desktop program's).
class BatchWorker {
public:
    virtual ~BatchWorker() = default;
    virtual RunReport run(const MeshJob& job) = 0;
};
// Makes a worker on the calling thread; null and a reason when it can't
// (e.g. no GL context).
using WorkerFactory = std::function<std::unique_ptr<BatchWorker>(std::string* error)>;

// Runs `items` on `jobs` threads (at least 1, at most one per item; 1 runs
// on the calling thread), each with a worker of its own. Items are taken in
// order; reports come back in item order. `started` (when given) is called
// as an item is taken, `finished` for each report as it arrives, never from
// two threads at once. A thread whose worker can't be made fails the items
// it takes with the reason.
std::vector<RunReport> runBatchInThreads(const std::vector<MeshJob>& items, int jobs, const WorkerFactory& makeWorker,
                                         const std::function<void(const RunReport&)>& finished,
                                         const std::function<void(std::size_t index)>& started = {});

}  // namespace kubelmar
