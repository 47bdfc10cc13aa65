// Batches on worker processes, without GL: the workers are stand-ins that
// answer from the item's name, and some of them die.

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <set>

#include "batch/batch_processes.h"

namespace kubelmar {
namespace {

// Fills every field that has to cross the pipe; "bad" fails, "die" kills
// its process, and each outcome names the process that made it.
class StandInWorker final : public BatchWorker {
public:
    RunReport run(const MeshJob& item) override {
        if (item.relativePath == "die") ::raise(SIGKILL);
        RunReport outcome;
        const bool bad = item.relativePath == "bad";
        outcome.status = bad ? RunReport::Status::Failed : RunReport::Status::Done;
        outcome.diagnostics = {warningAbout({}, "pid " + std::to_string(::getpid())),
                               warningAbout({}, std::string(70000, 'w'))};
        if (bad) outcome.fail(errorAbout(item.meshPath, "broken \"quoted\"\nsecond line"));
        outcome.seconds = 0.25 * static_cast<double>(item.relativePath.size());
        outcome.size = 64 + static_cast<int>(item.relativePath.size());
        outcome.filesWritten = 3;
        outcome.filledVoxels = (std::uint64_t{1} << 40) + item.relativePath.size();
        ::usleep(3000);
        return outcome;
    }
};

std::vector<MeshJob> itemsNamed(std::initializer_list<const char*> names) {
    std::vector<MeshJob> items;
    for (const char* name : names) items.push_back({std::string("/m/") + name, name, "/o/" + std::string(name)});
    return items;
}

WorkerFactory standIns() {
    return [](std::string*) -> std::unique_ptr<BatchWorker> { return std::make_unique<StandInWorker>(); };
}

TEST(BatchProcesses, OutcomesCrossIntactAndInItemOrder) {
    const auto items = itemsNamed({"a", "bb", "bad", "dddd", "e", "ffffff", "g", "hh", "i"});
    for (int jobs : {1, 2, 4}) {
        std::set<std::string> workers;
        int calls = 0;
        const auto outcomes = runBatchInProcesses(items, jobs, standIns(), [&](const RunReport& outcome) {
            ++calls;
            workers.insert(outcome.warningTexts().at(0));
        });
        ASSERT_EQ(outcomes.size(), items.size());
        EXPECT_EQ(calls, static_cast<int>(items.size()));
        for (std::size_t k = 0; k < items.size(); ++k) {
            const RunReport& outcome = outcomes[k];
            const std::size_t length = items[k].relativePath.size();
            EXPECT_EQ(outcome.job.relativePath, items[k].relativePath);
            EXPECT_EQ(outcome.job.outputDirectory, items[k].outputDirectory);
            EXPECT_EQ(outcome.seconds, 0.25 * static_cast<double>(length));
            EXPECT_EQ(outcome.size, 64 + static_cast<int>(length));
            EXPECT_EQ(outcome.filesWritten, 3);
            EXPECT_EQ(outcome.filledVoxels, (std::uint64_t{1} << 40) + length);
            ASSERT_EQ(outcome.warningTexts().size(), 2u);
            EXPECT_EQ(outcome.warningTexts()[1].size(), 70000u);  // larger than a pipe holds
        }
        EXPECT_EQ(outcomes[2].status, RunReport::Status::Failed);
        EXPECT_EQ(outcomes[2].errorText(), "/m/bad: broken \"quoted\"\nsecond line");
        EXPECT_EQ(outcomes[3].status, RunReport::Status::Done);
        const std::string self = "pid " + std::to_string(::getpid());
        if (jobs == 1) {
            EXPECT_EQ(workers, std::set<std::string>{self});
        } else {
            EXPECT_FALSE(workers.count(self)) << "ran in the calling process";
            EXPECT_LE(workers.size(), static_cast<std::size_t>(jobs));
        }
    }
}

TEST(BatchProcesses, AWorkerThatDiesFailsOnlyItsItem) {
    const auto items = itemsNamed({"a", "die", "c", "d", "die", "f", "g"});
    const auto outcomes = runBatchInProcesses(items, 2, standIns(), nullptr);
    ASSERT_EQ(outcomes.size(), items.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (items[k].relativePath == "die") {
            EXPECT_EQ(outcomes[k].status, RunReport::Status::Failed);
            EXPECT_EQ(outcomes[k].errorText(), "/m/die: the worker process ended with signal 9 (Killed)");
        } else {
            EXPECT_EQ(outcomes[k].status, RunReport::Status::Done) << items[k].relativePath << outcomes[k].errorText();
        }
    }
}

TEST(BatchProcesses, NoFileIsLostWhenNoWorkerCanStart) {
    const auto items = itemsNamed({"a", "b", "c"});
    // A worker that says why it can't start fails each file with the reason.
    auto outcomes = runBatchInProcesses(
        items, 2,
        [](std::string* error) -> std::unique_ptr<BatchWorker> {
            *error = "no OpenGL context";
            return nullptr;
        },
        nullptr);
    for (const RunReport& outcome : outcomes) EXPECT_EQ(outcome.errorText(), outcome.job.meshPath + ": no OpenGL context");
    // One that dies while starting takes nothing, so nothing is retried
    // forever; the files are reported as not run.
    outcomes = runBatchInProcesses(
        items, 2, [](std::string*) -> std::unique_ptr<BatchWorker> { ::_exit(3); }, nullptr);
    ASSERT_EQ(outcomes.size(), 3u);
    for (const RunReport& outcome : outcomes) {
        EXPECT_EQ(outcome.status, RunReport::Status::Failed);
        EXPECT_EQ(outcome.errorText(), outcome.job.meshPath + ": not run: the worker processes ended with exit status 3");
    }
}

}  // namespace
}  // namespace kubelmar
