#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "io/io_result.h"

namespace kubelmar {

// How a written file reaches its name.
enum class FileCommit {
    // Written under its own name. For files inside an OutputStage folder,
    // whose commit makes the whole set appear at once, and for device paths.
    InPlace,
    // Written to "<path>.part" beside the destination, fsynced, closed and
    // renamed over <path> only when all of that succeeded; anything less
    // removes the temporary and leaves <path> as it was. For single files
    // written straight into a user's folder (reports, summaries, previews).
    Replace,
};

// The one way Kubelmar writes a file: every write, the flush, the fsync,
// the close and the rename are checked, and the first failure is kept,
// naming the destination path and the reason. After a failure later writes
// do nothing, so a writer may write on and look at finish() once.
//
// Small writes are gathered in a buffer of its own (kBufferBytes unless
// open() is told otherwise, taken on the first small write); a write at
// least that large goes straight to the file. Not for two threads at once; separate files on separate threads are
// fine.
class CheckedFile {
public:
    static constexpr std::size_t kBufferBytes = std::size_t(1) << 20;

    CheckedFile() = default;
    // An unfinished file is discarded (see discard()).
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    // Creates or truncates the file (with Replace: the temporary). A
    // `bufferBytes` of 0 sends every write straight to the file: for callers
    // that hand over the whole content in one piece.
    IoResult open(const std::string& path, FileCommit commit = FileCommit::InPlace,
                  std::size_t bufferBytes = kBufferBytes);

    // Appends `size` bytes; false once anything failed.
    bool write(const void* data, std::size_t size);
    bool write(std::string_view text) { return write(text.data(), text.size()); }

    // Records a failure the caller found (a compressor's, a limit): the file
    // fails with `reason` and finish() discards it.
    void fail(std::string reason);

    // Writes out the buffer, fsyncs when `sync` (always with Replace),
    // closes and, with Replace, renames into place. Returns the file's first
    // failure; a failed file is discarded.
    IoResult finish(bool sync = false);

    // Closes without finishing. With Replace the temporary is removed and
    // the destination left alone; an InPlace file is left as far as it got
    // (a stage folder is removed whole; a device path must never be unlinked).
    void discard();

    bool ok() const { return first_.ok; }
    // The destination, as given to open().
    const std::string& path() const { return path_; }
    // The first failure so far (ok while there is none).
    const IoResult& result() const { return first_; }

private:
    void failWithErrno(int error);
    bool writeOut(const char* data, std::size_t size);
    bool flushBuffer();

    int fd_ = -1;
    FileCommit commit_ = FileCommit::InPlace;
    std::string path_;
    std::string temporary_;  // Replace only
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferBytes_ = 0;
    std::size_t buffered_ = 0;
    IoResult first_;
};

// Opens `path`, writes `size` bytes and finishes: the whole file in one call.
IoResult writeWholeFile(const std::string& path, const void* data, std::size_t size,
                        FileCommit commit = FileCommit::InPlace);
inline IoResult writeWholeFile(const std::string& path, std::string_view text, FileCommit commit = FileCommit::InPlace) {
    return writeWholeFile(path, text.data(), text.size(), commit);
}

// The suffix of Replace's temporaries.
inline constexpr std::string_view kPartialSuffix = ".part";

}  // namespace kubelmar
