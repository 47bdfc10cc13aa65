#include "engine/batch_runner.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "voxel/batch.h"

namespace kubelmar {

namespace fs = std::filesystem;

const char* statusName(FileOutcome::Status status) {
    switch (status) {
        case FileOutcome::Status::Done: return "done";
        case FileOutcome::Status::Skipped: return "skipped";
        case FileOutcome::Status::Failed: break;
    }
    return "failed";
}

namespace {

// The folders to list: `base` and, when recursive, every sub-folder that is
// not hidden (output stage folders are hidden too). Links to folders are not
// followed, so a loop can't make the walk endless.
std::vector<fs::path> batchFolders(const fs::path& base, bool recursive) {
    std::vector<fs::path> folders{base};
    if (!recursive) return folders;
    std::error_code ec;
    fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const bool hidden = it->path().filename().string().rfind('.', 0) == 0;
        std::error_code typeError;
        if (!it->is_directory(typeError) || it->is_symlink(typeError)) continue;
        if (hidden) {
            it.disable_recursion_pending();
            continue;
        }
        folders.push_back(it->path());
    }
    return folders;
}

std::string outputFor(const std::string& meshPath, const std::string& relativePath, const std::string& root) {
    if (root.empty()) return batchOutputDirectory(meshPath);
    // The mirrored relative path, without its final extension.
    const std::string mirrored = batchOutputDirectory("/" + relativePath);
    return (fs::path(root) / mirrored.substr(1)).string();
}

}  // namespace

BatchPlan planBatch(const BatchRequest& request) {
    BatchPlan plan;
    std::error_code ec;
    const fs::path base = fs::absolute(fs::path(request.directory), ec).lexically_normal();
    std::vector<BatchItem> all;
    std::vector<UnreadableEntry> unreadable;
    for (const fs::path& folder : batchFolders(base, request.recursive)) {
        std::vector<std::string> files;
        std::vector<UnreadableEntry> broken;
        std::string error;
        if (!listObjFiles(folder.string(), files, broken, &error)) {
            if (folder == base) {
                plan.error = request.directory + ": " + error;
                return plan;
            }
            continue;  // a sub-folder that vanished or can't be read
        }
        unreadable.insert(unreadable.end(), broken.begin(), broken.end());
        for (const std::string& file : files) {
            BatchItem item;
            item.meshPath = file;
            item.relativePath = fs::path(file).lexically_relative(base).generic_string();
            all.push_back(item);
        }
    }
    std::vector<FileOutcome> broken;
    for (const UnreadableEntry& entry : unreadable) {
        FileOutcome outcome;
        outcome.item.meshPath = entry.path;
        outcome.item.relativePath = fs::path(entry.path).lexically_relative(base).generic_string();
        outcome.error = entry.path + ": " + entry.reason;
        broken.push_back(outcome);
    }
    // One order for the whole tree, so shards cut the same list everywhere.
    auto byName = [](const BatchItem& a, const BatchItem& b) { return batchNameLess(a.relativePath, b.relativePath); };
    std::sort(all.begin(), all.end(), byName);
    std::sort(broken.begin(), broken.end(),
              [&](const FileOutcome& a, const FileOutcome& b) { return byName(a.item, b.item); });
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (!inShard(k, request.shardIndex, request.shardCount)) continue;
        all[k].outputDirectory = outputFor(all[k].meshPath, all[k].relativePath, request.outputRoot);
        plan.items.push_back(all[k]);
    }
    for (std::size_t k = 0; k < broken.size(); ++k)
        if (inShard(k, request.shardIndex, request.shardCount)) plan.unreadable.push_back(broken[k]);
    plan.ok = true;
    return plan;
}

bool outputComplete(const std::string& directory) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(directory) / "volume.json", ec)) return false;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind(".kubelmar-tmp-", 0) == 0) return false;
    return !ec;
}

std::vector<FileOutcome> runBatch(const std::vector<BatchItem>& items, int jobs, const WorkerFactory& makeWorker,
                                  const std::function<void(const FileOutcome&)>& finished) {
    std::vector<FileOutcome> outcomes(items.size());
    std::atomic<std::size_t> next{0};
    std::mutex reporting;
    auto work = [&] {
        std::string error;
        const std::unique_ptr<BatchWorker> worker = makeWorker(&error);
        for (std::size_t k = next++; k < items.size(); k = next++) {
            FileOutcome outcome;
            if (worker) {
                outcome = worker->run(items[k]);
            } else {
                outcome.error = items[k].meshPath + ": " + error;
            }
            outcome.item = items[k];
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

BatchResult runBatch(Engine& engine, const RunSettings& settings, const std::string& directory,
                     const ConsumerFactory& makeConsumer, Progress& progress, std::ostream& report,
                     std::ostream& errors) {
    BatchResult result;
    std::vector<std::string> files;
    std::vector<UnreadableEntry> unreadable;
    std::string error;
    if (!listObjFiles(directory, files, unreadable, &error)) {
        result.listed = false;
        result.error = "ERROR: Can't list directory " + directory + ": " + error;
        errors << result.error << std::endl;
        return result;
    }
    // A dangling link or a link loop named like a mesh is a file that failed.
    for (const UnreadableEntry& entry : unreadable) {
        result.failures.push_back(entry.path + ": " + entry.reason);
        errors << "ERROR: " << entry.path << ": " << entry.reason << std::endl;
    }
    for (const std::string& file : files) {
        const MeshLoadResult loaded = engine.loadMesh(file);
        writeLoadLog(loaded.log, &engine.log(), &errors);
        for (const std::string& w : loaded.warningTexts()) errors << "WARNING: " << w << std::endl;
        if (!loaded.ok) {
            result.failures.push_back(loaded.errorText());  // names the file
            errors << "ERROR: " << loaded.errorText() << std::endl;
            continue;
        }
        const std::string output = batchOutputDirectory(file);
        std::error_code ec;
        std::filesystem::create_directory(output, ec);
        const std::unique_ptr<SliceConsumer> consumer = makeConsumer(output, file);
        const VoxelizeResult voxelized = engine.voxelize(settings, *consumer, progress);
        if (!voxelized.ok) {
            result.failures.push_back(file + ": " + voxelized.error.text());
            errors << "ERROR: " << voxelized.error.text() << std::endl;
            continue;
        }
        ++result.done;
        report << "Voxelized: " << file << " -> " << output << std::endl;
    }
    report << "Batch: " << result.done << " done, " << result.failures.size() << " failed" << std::endl;
    return result;
}

}  // namespace kubelmar
