#include "batch/batch_plan.h"

#include <algorithm>
#include <filesystem>

#include "batch/mesh_listing.h"

namespace kubelmar {

namespace fs = std::filesystem;

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
    std::vector<MeshJob> all;
    std::vector<UnreadableEntry> unreadable;
    for (const fs::path& folder : batchFolders(base, request.recursive)) {
        std::vector<std::string> files;
        std::vector<UnreadableEntry> broken;
        std::string error;
        if (!listMeshFiles(folder.string(), files, broken, &error)) {
            if (folder == base) {
                plan.error = request.directory + ": " + error;
                return plan;
            }
            continue;  // a sub-folder that vanished or can't be read
        }
        unreadable.insert(unreadable.end(), broken.begin(), broken.end());
        for (const std::string& file : files) {
            MeshJob item;
            item.meshPath = file;
            item.relativePath = fs::path(file).lexically_relative(base).generic_string();
            all.push_back(item);
        }
    }
    std::vector<RunReport> broken;
    for (const UnreadableEntry& entry : unreadable) {
        RunReport outcome;
        outcome.job.meshPath = entry.path;
        outcome.job.relativePath = fs::path(entry.path).lexically_relative(base).generic_string();
        if (entry.notAFile) {
            outcome.status = RunReport::Status::Skipped;
            outcome.diagnostics.push_back(warningAbout(entry.path, "skipped: " + entry.reason));
        } else {
            outcome.fail(errorAbout(entry.path, entry.reason));
        }
        broken.push_back(outcome);
    }
    // One order for the whole tree, so shards cut the same list everywhere.
    auto byName = [](const MeshJob& a, const MeshJob& b) { return batchNameLess(a.relativePath, b.relativePath); };
    std::sort(all.begin(), all.end(), byName);
    std::sort(broken.begin(), broken.end(),
              [&](const RunReport& a, const RunReport& b) { return byName(a.job, b.job); });
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

}  // namespace kubelmar
