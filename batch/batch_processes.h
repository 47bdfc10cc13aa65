#pragma once

#include <functional>
#include <vector>

#include "batch/batch_threads.h"

namespace kubelmar {

// runBatch's contract, with each worker in a process of its own, forked from
// this one: on llvmpipe, processes scale better than threads sharing one
// driver (no shared locks or allocator), and a driver crash on one mesh
// fails that mesh instead of the whole batch.
//
// Workers take items in order from a counter they share. Each reports an
// item as it starts and its outcome when done, over a pipe, so the caller
// sees outcomes as they arrive (`finished`, on the calling thread) and gets
// them back in item order. An item whose worker died while running it fails
// with the signal or exit status; another worker is started for the items
// left, as long as the one that died had got as far as taking an item.
//
// The calling process must not have started GL or any thread that the
// workers need: a forked child has only the calling thread. jobs <= 1 runs
// on the calling thread; where the counter can't be shared, runBatch's
// threads run instead.
std::vector<RunReport> runBatchInProcesses(const std::vector<MeshJob>& items, int jobs,
                                             const WorkerFactory& makeWorker,
                                             const std::function<void(const RunReport&)>& finished);

}  // namespace kubelmar
