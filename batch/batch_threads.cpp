#include "batch/batch_threads.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace kubelmar {

std::vector<RunReport> runBatchInThreads(const std::vector<MeshJob>& items, int jobs, const WorkerFactory& makeWorker,
                                         const std::function<void(const RunReport&)>& finished,
                                         const std::function<void(std::size_t index)>& started) {
    std::vector<RunReport> outcomes(items.size());
    std::atomic<std::size_t> next{0};
    std::mutex reporting;
    auto work = [&] {
        std::string error;
        const std::unique_ptr<BatchWorker> worker = makeWorker(&error);
        for (std::size_t k = next++; k < items.size(); k = next++) {
            if (started) {
                const std::lock_guard<std::mutex> lock(reporting);
                started(k);
            }
            RunReport outcome;
            if (worker) {
                outcome = worker->run(items[k]);
            } else {
                outcome.fail(errorAbout(items[k].meshPath, error));
            }
            outcome.job = items[k];
            const std::lock_guard<std::mutex> lock(reporting);
            outcomes[k] = outcome;
            if (finished) finished(outcome);
        }
    };
    const std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1,
                                                        std::max<std::size_t>(items.size(), 1));
    if (threads == 1) {
        work();  // on the caller's thread: nothing to gain from another
        return outcomes;
    }
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
    for (std::thread& thread : pool) thread.join();
    return outcomes;
}

}  // namespace kubelmar
