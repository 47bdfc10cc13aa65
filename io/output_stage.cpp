// A stack is staged in a hidden folder inside OUTDIR (same file system, so
// every move is a rename) and put in place in three steps:
//   1. write the commit record ".commit" (new and old names) into the stage;
//   2. move every old owned file of OUTDIR into the stage's ".old" folder;
//   3. move every staged file into OUTDIR.
// A failure in 2 or 3 moves everything back. A process killed after 1 leaves
// a stage with a commit record: the next open() on OUTDIR finishes that
// commit. A stage without one is only removed.
#include "io/output_stage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "io/checked_file.h"
#include "io/file_system.h"

namespace kubelmar {

namespace {

constexpr const char* kCommitRecord = ".commit";
constexpr const char* kOldFolder = ".old";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The pid of a stage folder name ".kubelmar-tmp-<pid>-<n>", or -1.
long stagePid(std::string_view name) {
    if (name.substr(0, kStageFolderPrefix.size()) != kStageFolderPrefix) return -1;
    name.remove_prefix(kStageFolderPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9) return -1;
    long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (!isDigit(name[i])) return -1;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

// The commit record: new names, an empty line, old names; each name ends in
// a NUL (names may hold any byte but NUL and '/').
std::string encodeRecord(const std::vector<std::string>& fresh, const std::vector<std::string>& old) {
    std::string text;
    for (const std::string& n : fresh) text += n + '\0';
    text += '\0';
    for (const std::string& n : old) text += n + '\0';
    return text;
}

bool decodeRecord(const std::string& text, std::vector<std::string>& fresh, std::vector<std::string>& old) {
    std::vector<std::string>* into = &fresh;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\0', start);
        if (end == std::string::npos) return false;  // cut short: not a whole record
        if (end == start) {
            if (into == &old) return false;
            into = &old;
        } else {
            into->push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return into == &old;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool lstatPath(const std::string& path, struct stat& info) { return lstat(path.c_str(), &info) == 0; }

IoResult moveFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return IoResult::failure(to, fsx::reason(errno));
    return {};
}

// Finishes the commit a killed run began in `stage` (see the top of the
// file), then removes the stage. Without a commit record the stage is
// simply removed: OUTDIR was not touched yet.
IoResult recoverStage(const std::string& output, const std::string& stage) {
    const std::string record = stage + "/" + kCommitRecord;
    std::string text;
    std::vector<std::string> fresh;
    std::vector<std::string> old;
    if (readWholeFile(record, text) && decodeRecord(text, fresh, old)) {
        for (const std::string& name : fresh) {
            struct stat info {};
            if (!lstatPath(stage + "/" + name, info)) continue;  // moved before the kill
            // A folder can't be renamed over the old one of its name: that
            // one goes into the stage's old folder first, as the commit does.
            struct stat there {};
            if (S_ISDIR(info.st_mode) && lstatPath(output + "/" + name, there) && S_ISDIR(there.st_mode)) {
                const std::string oldFolder = stage + "/" + kOldFolder;
                if (mkdir(oldFolder.c_str(), 0700) != 0 && errno != EEXIST)
                    return IoResult::failure(oldFolder, fsx::reason(errno));
                IoResult aside = moveFile(output + "/" + name, oldFolder + "/" + name);
                if (!aside.ok) return aside;
            }
            IoResult moved = moveFile(stage + "/" + name, output + "/" + name);
            if (!moved.ok) return moved;
        }
        const std::set<std::string> freshSet(fresh.begin(), fresh.end());
        for (const std::string& name : old) {
            if (freshSet.count(name)) continue;
            const std::string path = output + "/" + name;
            struct stat info {};
            if (lstatPath(path, info) && !S_ISDIR(info.st_mode) && unlink(path.c_str()) != 0)
                return IoResult::failure(path, fsx::reason(errno));
        }
        IoResult synced = fsx::syncPath(output);
        if (!synced.ok) return synced;
        if (unlink(record.c_str()) != 0) return IoResult::failure(record, fsx::reason(errno));
    }
    return fsx::removeTree(stage);
}

}  // namespace

OutputStage::~OutputStage() { abort(); }

std::string OutputStage::path(std::string_view name) const { return stage_ + "/" + std::string(name); }

IoResult OutputStage::open(const std::string& outputDirectory, OwnedNames owned, OwnedNames ownedFolders) {
    abort();
    if (!owned) return IoResult::failure(outputDirectory, "no rule for which files a stack owns");
    std::string output = outputDirectory;
    while (output.size() > 1 && output.back() == '/') output.pop_back();
    std::vector<std::string> created;
    IoResult made = fsx::makeDirectories(output, created);
    auto undoCreate = [&created] {
        for (auto it = created.rbegin(); it != created.rend(); ++it) rmdir(it->c_str());
    };
    if (!made.ok) {
        undoCreate();
        return made;
    }

    // Stages of runs that no longer exist: finish or discard them first, so
    // that a killed run never leaves OUTDIR half old and half new.
    std::vector<std::string> names;
    IoResult listed = fsx::listNames(output, names);
    if (!listed.ok) {
        undoCreate();
        return listed;
    }
    const long self = static_cast<long>(getpid());
    for (const std::string& name : names) {
        const long pid = stagePid(name);
        if (pid < 0 || pid == self || fsx::processAlive(pid)) continue;
        IoResult recovered = recoverStage(output, output + "/" + name);
        if (!recovered.ok) return recovered;
    }

    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string stage = output + "/" + std::string(kStageFolderPrefix) + std::to_string(self) + "-" +
                                  std::to_string(counter++);
        if (mkdir(stage.c_str(), 0700) == 0) {
            output_ = output;
            stage_ = stage;
            owned_ = std::move(owned);
            ownedFolders_ = std::move(ownedFolders);
            createdDirectories_ = std::move(created);
            return {};
        }
        if (errno != EEXIST) {
            const int error = errno;
            undoCreate();
            return IoResult::failure(stage, fsx::reason(error));
        }
    }
    undoCreate();
    return IoResult::failure(output, "cannot find a free name for the hidden stage folder");
}

void OutputStage::abort() {
    if (stage_.empty()) return;
    fsx::removeTree(stage_);
    for (auto it = createdDirectories_.rbegin(); it != createdDirectories_.rend(); ++it) rmdir(it->c_str());
    stage_.clear();
    output_.clear();
    owned_ = nullptr;
    createdDirectories_.clear();
}

IoResult OutputStage::commit() {
    if (stage_.empty()) return IoResult::failure("", "no output folder is open");

    // The staged stack: regular files with owned names, flushed to disk.
    std::vector<std::string> fresh;
    IoResult result = fsx::listNames(stage_, fresh);
    for (std::size_t i = 0; result.ok && i < fresh.size(); ++i) {
        const std::string staged = path(fresh[i]);
        struct stat info {};
        if (!lstatPath(staged, info)) result = IoResult::failure(staged, fsx::reason(errno));
        else if (S_ISDIR(info.st_mode) && ownedFolders_ && ownedFolders_(fresh[i])) continue;
        else if (!S_ISREG(info.st_mode)) result = IoResult::failure(staged, "not a regular file");
        else if (!owned_(fresh[i])) result = IoResult::failure(staged, "not a file name the stack owns");
    }
    // One flush of the whole file system instead of one per file: a stack
    // of a thousand slices took seconds to fsync file by file.
    if (result.ok) result = fsx::syncFileSystem(stage_);

    // The old stack: owned names in OUTDIR. A folder is never part of it; a
    // folder where a new file goes fails the commit before anything moves.
    std::vector<std::string> old;
    std::vector<std::string> present;
    if (result.ok) result = fsx::listNames(output_, present);
    std::sort(fresh.begin(), fresh.end());
    for (const std::string& name : present) {
        if (!result.ok) break;
        const std::string target = output_ + "/" + name;
        struct stat info {};
        if (ownedFolders_ && ownedFolders_(name) && lstatPath(target, info) && S_ISDIR(info.st_mode)) {
            old.push_back(name);  // an owned folder goes whole, as a file does
            continue;
        }
        if (!owned_(name)) continue;
        if (!lstatPath(target, info)) continue;  // vanished meanwhile
        const bool replaced = std::binary_search(fresh.begin(), fresh.end(), name);
        if (S_ISDIR(info.st_mode)) {
            if (replaced) result = IoResult::failure(target, "a folder stands where a file of the stack goes");
            continue;
        }
        old.push_back(name);
    }

    const std::string record = path(kCommitRecord);
    const std::string oldFolder = path(kOldFolder);
    if (result.ok && mkdir(oldFolder.c_str(), 0700) != 0) result = IoResult::failure(oldFolder, fsx::reason(errno));
    // Replaced whole: a record is complete or absent.
    if (result.ok) result = writeWholeFile(record, encodeRecord(fresh, old), FileCommit::Replace);
    if (result.ok) result = fsx::syncPath(stage_);

    // Counts of files moved so far, for putting them back.
    std::size_t oldMoved = 0;
    std::size_t freshMoved = 0;
    while (result.ok && oldMoved < old.size()) {
        result = moveFile(output_ + "/" + old[oldMoved], oldFolder + "/" + old[oldMoved]);
        if (result.ok) ++oldMoved;
    }
    while (result.ok && freshMoved < fresh.size()) {
        result = moveFile(path(fresh[freshMoved]), output_ + "/" + fresh[freshMoved]);
        if (result.ok) ++freshMoved;
    }
    if (result.ok) result = fsx::syncPath(output_);

    if (!result.ok) {
        // Put OUTDIR back: the new files out, the old ones in.
        for (std::size_t i = 0; i < freshMoved; ++i) moveFile(output_ + "/" + fresh[i], path(fresh[i]));
        for (std::size_t i = 0; i < oldMoved; ++i) moveFile(oldFolder + "/" + old[i], output_ + "/" + old[i]);
        fsx::syncPath(output_);
        unlink(record.c_str());
        abort();
        return result;
    }

    // The new stack is in place. Drop the record first: a kill while the
    // old files are being deleted then leaves a stage that is only removed.
    if (unlink(record.c_str()) != 0) result = IoResult::failure(record, fsx::reason(errno));
    IoResult removed = fsx::removeTree(stage_);
    if (result.ok && !removed.ok) result = removed;
    stage_.clear();
    output_.clear();
    owned_ = nullptr;
    ownedFolders_ = nullptr;
    createdDirectories_.clear();
    return result;
}

}  // namespace kubelmar
