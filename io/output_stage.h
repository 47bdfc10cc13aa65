#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io/io_result.h"

namespace kubelmar {

// Tells whether a plain file name (no folder) in an output folder belongs to
// a stack: files the next run may replace or remove. The formats say which
// names those are (formats/stack_files.h); the stage only asks.
using OwnedNames = std::function<bool(std::string_view name)>;

// Writes a stack into an output folder all at once. open() makes a hidden
// folder inside OUTDIR; writers put every file there (directory()); commit()
// moves them into OUTDIR and removes the files of an earlier stack that the
// new one does not replace. Until commit() returns ok, OUTDIR keeps its old
// contents: abort(), a failed commit() or the destructor remove the hidden
// folder and leave OUTDIR as it was. See docs/atomic-output.md for what holds
// when the process is killed.
//
// Never prints; every failure comes back as an IoResult. Not for two
// processes writing the same OUTDIR at once.
class OutputStage {
public:
    OutputStage() = default;
    ~OutputStage();
    OutputStage(const OutputStage&) = delete;
    OutputStage& operator=(const OutputStage&) = delete;

    // Creates OUTDIR (and missing parents) if needed, finishes or removes the
    // hidden folders that killed runs left there, and makes a fresh one.
    // `owned` decides which files of OUTDIR belong to a stack;
    // `ownedFolders`, when given, which folders do: a stack may write such
    // a folder (one level of plain files inside), and it replaces or
    // removes one of the same name whole, as it does a file.
    IoResult open(const std::string& outputDirectory, OwnedNames owned, OwnedNames ownedFolders = nullptr);

    bool isOpen() const { return !stage_.empty(); }
    // The hidden folder writers write into; empty when not open.
    const std::string& directory() const { return stage_; }
    // directory() + "/" + name.
    std::string path(std::string_view name) const;
    const std::string& outputDirectory() const { return output_; }

    // Flushes the staged files to disk, moves each into OUTDIR and removes
    // the earlier stack's owned files that were not replaced. Fails, leaving
    // OUTDIR as it was, when a staged entry is not a regular file with an
    // owned name (or an owned folder), when a directory stands where a file
    // goes, or on any file-system error. The stage is closed afterwards either way.
    IoResult commit();

    // Removes the hidden folder and everything in it; OUTDIR is as before
    // open() (a folder open() created is removed again when still empty).
    void abort();

private:
    std::string output_;
    std::string stage_;
    OwnedNames owned_;
    OwnedNames ownedFolders_;
    std::vector<std::string> createdDirectories_;  // by open(), outermost first
};

// The prefix of the hidden folders: ".kubelmar-tmp-<pid>-<n>".
inline constexpr std::string_view kStageFolderPrefix = ".kubelmar-tmp-";

}  // namespace kubelmar
