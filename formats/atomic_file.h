#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "volume/write_result.h"

namespace kubelmar {

// A file written under a temporary name beside its destination ("<path>.part")
// and renamed into place only once every write, the flush and the close
// succeeded. Anything short of commit() removes the temporary and leaves the
// destination as it was. The first failure is kept; later writes do nothing.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(const void* data, std::size_t bytes);
    bool write(const std::string& text) { return write(text.data(), text.size()); }
    bool commit();
    void discard();

    bool ok() const { return error_.empty(); }
    const std::string& path() const { return path_; }
    // "ERROR: Writing File: <path>: <reason>" for the first failure.
    WriteResult failure() const { return writeFailure(path_, error_); }
    // Records a failure found by the caller (e.g. a compressor's) and discards.
    void fail(const std::string& reason);

private:
    void failWithErrno(const char* what);

    std::string path_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace kubelmar
