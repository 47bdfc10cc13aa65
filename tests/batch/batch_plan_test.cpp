// Batch planning, sharding, resuming and the summaries, without GL: the
// workers here are stand-ins that record what they were given.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "batch/batch_summary.h"
#include "batch/batch_plan.h"
#include "batch/batch_threads.h"

namespace kubelmar {
namespace {

namespace fs = std::filesystem;

fs::path freshDir(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("kubelmar-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "v 0 0 0\n";
}

std::vector<std::string> relativePaths(const std::vector<MeshJob>& items) {
    std::vector<std::string> paths;
    for (const MeshJob& item : items) paths.push_back(item.relativePath);
    return paths;
}

// A tree of 11 meshes, one in a hidden folder, one a dangling link.
fs::path meshTree() {
    const fs::path dir = freshDir("plan");
    for (const char* name : {"b.obj", "A.obj", "c.OBJ", "sub/d.obj", "sub/deeper/e.obj", "Sub2/f.obj", "g.obj",
                             "h.obj", "i.obj", "j.obj", ".hidden/x.obj"})
        touch(dir / name);
    fs::create_symlink(dir / "nowhere.obj", dir / "k.obj");
    return dir;
}

TEST(BatchPlan, RecursiveListingIsOneSortedOrderMirroredUnderTheRoot) {
    const fs::path dir = meshTree();
    BatchRequest request;
    request.directory = dir.string();
    BatchPlan flat = planBatch(request);
    ASSERT_TRUE(flat.ok);
    EXPECT_EQ(flat.items.size(), 7u);
    request.recursive = true;
    request.outputRoot = (dir / "out").string();
    const BatchPlan plan = planBatch(request);
    ASSERT_TRUE(plan.ok);
    const std::vector<std::string> expected = {"A.obj", "b.obj", "c.OBJ", "g.obj", "h.obj", "i.obj",
                                               "j.obj", "sub/d.obj", "sub/deeper/e.obj", "Sub2/f.obj"};
    EXPECT_EQ(relativePaths(plan.items), expected);
    EXPECT_EQ(plan.items[8].outputDirectory, (dir / "out" / "sub/deeper/e/").string());
    ASSERT_EQ(plan.unreadable.size(), 1u);
    EXPECT_EQ(plan.unreadable[0].job.relativePath, "k.obj");
    request.directory = (dir / "absent").string();
    EXPECT_FALSE(planBatch(request).ok);
    fs::remove_all(dir);
}

TEST(BatchPlan, ShardsAreDisjointAndTogetherTheWholeBatch) {
    const fs::path dir = meshTree();
    BatchRequest request;
    request.directory = dir.string();
    request.recursive = true;
    const BatchPlan whole = planBatch(request);
    for (int count : {1, 3, 4, 13}) {
        std::multiset<std::string> seen;
        int broken = 0;
        for (int index = 1; index <= count; ++index) {
            request.shardIndex = index;
            request.shardCount = count;
            const BatchPlan shard = planBatch(request);
            ASSERT_TRUE(shard.ok);
            // Round robin: no shard is more than one file longer than another.
            EXPECT_LE(shard.items.size(), whole.items.size() / count + 1);
            for (const MeshJob& item : shard.items) seen.insert(item.meshPath + " -> " + item.outputDirectory);
            broken += static_cast<int>(shard.unreadable.size());
        }
        std::multiset<std::string> all;
        for (const MeshJob& item : whole.items) all.insert(item.meshPath + " -> " + item.outputDirectory);
        EXPECT_EQ(seen, all) << count << " shards";
        EXPECT_EQ(broken, 1);
    }
    // Shard I of N takes sorted positions I-1, I-1+N, ...; the unreadable
    // files are dealt the same way, on a list of their own.
    const std::vector<std::vector<std::string>> thirds = {{"A.obj", "g.obj", "j.obj", "Sub2/f.obj"},
                                                          {"b.obj", "h.obj", "sub/d.obj"},
                                                          {"c.OBJ", "i.obj", "sub/deeper/e.obj"}};
    request.shardCount = 3;
    for (int index = 1; index <= 3; ++index) {
        request.shardIndex = index;
        const BatchPlan shard = planBatch(request);
        EXPECT_EQ(relativePaths(shard.items), thirds[index - 1]) << "shard " << index;
        EXPECT_EQ(shard.unreadable.size(), index == 1 ? 1u : 0u) << "shard " << index;
    }
    fs::remove_all(dir);
}

TEST(BatchPlan, OnlyAFinishedCommitCountsAsCompleteOutput) {
    const fs::path dir = freshDir("complete");
    EXPECT_FALSE(outputComplete((dir / "absent").string()));
    touch(dir / "slice100000.png");
    EXPECT_FALSE(outputComplete(dir.string()));  // killed while writing: no volume.json
    touch(dir / "volume.json");
    EXPECT_TRUE(outputComplete(dir.string()));
    fs::create_directories(dir / ".kubelmar-tmp-4242-0");  // killed while putting the stack in place
    EXPECT_FALSE(outputComplete(dir.string()));
    fs::remove_all(dir);
}

class RecordingWorker final : public BatchWorker {
public:
    RunReport run(const MeshJob& item) override {
        RunReport outcome;
        outcome.status = item.relativePath == "bad" ? RunReport::Status::Failed : RunReport::Status::Done;
        outcome.filledVoxels = item.relativePath.size();
        if (outcome.status == RunReport::Status::Failed) outcome.fail(errorAbout("bad", "broken"));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return outcome;
    }
};

TEST(BatchRun, OutcomesComeBackInItemOrderWhateverTheJobs) {
    std::vector<MeshJob> items;
    for (const char* name : {"a", "bb", "bad", "dddd", "e", "ffffff", "g"}) items.push_back({name, name, name});
    for (int jobs : {1, 3, 16}) {
        std::set<std::thread::id> threads;
        int calls = 0;
        const auto outcomes = runBatchInThreads(
            items, jobs,
            [&](std::string*) -> std::unique_ptr<BatchWorker> {
                return std::make_unique<RecordingWorker>();
            },
            [&](const RunReport&) { ++calls; threads.insert(std::this_thread::get_id()); });
        ASSERT_EQ(outcomes.size(), items.size());
        EXPECT_EQ(calls, 7);
        for (std::size_t k = 0; k < items.size(); ++k) {
            EXPECT_EQ(outcomes[k].job.relativePath, items[k].relativePath);
            EXPECT_EQ(outcomes[k].filledVoxels, items[k].relativePath.size());
        }
        EXPECT_EQ(outcomes[2].status, RunReport::Status::Failed);
        if (jobs == 1) {
            EXPECT_EQ(*threads.begin(), std::this_thread::get_id());
        }
    }
    // No worker (no GL, say): every file fails with the reason, none is lost.
    const auto outcomes = runBatchInThreads(
        items, 2, [](std::string* error) -> std::unique_ptr<BatchWorker> {
            *error = "no OpenGL context";
            return nullptr;
        }, nullptr);
    for (const RunReport& outcome : outcomes) {
        EXPECT_EQ(outcome.status, RunReport::Status::Failed);
        EXPECT_EQ(outcome.errorText(), outcome.job.meshPath + ": no OpenGL context");
    }
}

RunReport outcomeFor(const std::string& file, RunReport::Status status) {
    RunReport outcome;
    outcome.job = {"/d/" + file, file, "/d/" + file.substr(0, file.size() - 4) + "/"};
    if (status == RunReport::Status::Failed) outcome.fail(errorAbout("/d/" + file, "\"quoted\" reason"));
    outcome.status = status;
    return outcome;
}

std::vector<std::string> fileLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("    {\"file\"", 0) == 0) lines.push_back(line.back() == ',' ? line.substr(0, line.size() - 1) : line);
    return lines;
}

TEST(BatchSummary, MergedShardsEqualTheWholeBatch) {
    using S = RunReport::Status;
    const std::vector<RunReport> all = {outcomeFor("a.obj", S::Done), outcomeFor("B.obj", S::Failed),
                                          outcomeFor("c.obj", S::Skipped), outcomeFor("sub/d.obj", S::Done),
                                          outcomeFor("z.obj", S::Done)};
    const fs::path dir = freshDir("summary");
    EXPECT_FALSE(mergeBatchSummaries(dir.string()).ok);  // nothing to merge
    for (int index = 1; index <= 3; ++index) {
        std::vector<RunReport> shard;
        for (std::size_t k = 0; k < all.size(); ++k)
            if (inShard(k, index, 3)) shard.push_back(all[k]);
        if (index == 2) {
            // One shard missing: the merge refuses, naming it.
            const MergeResult partial = mergeBatchSummaries(dir.string());
            EXPECT_FALSE(partial.ok);
            EXPECT_NE(partial.error.find("shard 2 of 3"), std::string::npos) << partial.error;
        }
        std::ofstream(dir / batchSummaryFileName(index, 3)) << batchSummaryJson(shard, index, 3, 1.0);
    }
    const MergeResult merged = mergeBatchSummaries(dir.string());
    ASSERT_TRUE(merged.ok) << merged.error;
    EXPECT_EQ(merged.shards, 3);
    EXPECT_EQ(merged.counts.done, 3);
    EXPECT_EQ(merged.counts.failed, 1);
    EXPECT_EQ(merged.counts.skipped, 1);
    std::ifstream in(dir / "batch-summary.json");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(fileLines(text), fileLines(batchSummaryJson(all, 1, 1, 1.0)));
    EXPECT_NE(text.find("\"failed\": 1,"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kubelmar
