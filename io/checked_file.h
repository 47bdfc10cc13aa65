#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "io/output_stage.h"

namespace kubelmar {

// A FILE* for writing whose every failure is kept, down to the last flush,
// fsync and close: a short write or a full disk found only at close time
// still fails the file. Hand file() to stdio-based writers (libpng's
// png_init_io); call finish() once and use its result.
class CheckedFile {
public:
    CheckedFile() = default;
    ~CheckedFile();  // closes without reporting; the file's content is then unknown
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    // Creates or truncates `path`.
    IoResult open(const std::string& path);
    std::FILE* file() const { return file_; }

    // Writes `size` bytes; a failure is kept and returned by finish() too.
    bool write(const void* data, std::size_t size);

    // Flushes stdio's buffer, fsyncs when `sync` (skip it for files a later
    // step syncs, as OutputStage::commit does) and closes. Returns the first
    // failure of the file's life, naming its path.
    IoResult finish(bool sync = true);

private:
    void fail(int error);

    std::FILE* file_ = nullptr;
    std::string path_;
    IoResult first_;
};

}  // namespace kubelmar
