#include "formats/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kubelmar {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".part") {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (!file_) {
        failWithErrno("cannot create file");
        return false;
    }
    // Large writes go straight through; a bigger buffer saves system calls
    // for the many small ones (run-length pairs, voxel records).
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    return true;
}

bool AtomicFile::write(const void* data, std::size_t bytes) {
    if (!file_ || !ok()) return false;
    if (bytes != 0 && std::fwrite(data, 1, bytes, file_) != bytes) {
        failWithErrno("write failed");
        return false;
    }
    return true;
}

bool AtomicFile::commit() {
    if (!file_ || !ok()) return false;
    if (std::fflush(file_) != 0) {
        failWithErrno("write failed");
        return false;
    }
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fclose(file) != 0) {
        failWithErrno("close failed");
        std::remove(temporary_.c_str());
        return false;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        failWithErrno("cannot rename into place");
        std::remove(temporary_.c_str());
        return false;
    }
    return true;
}

void AtomicFile::discard() {
    if (!file_) return;
    std::fclose(std::exchange(file_, nullptr));
    std::remove(temporary_.c_str());
}

void AtomicFile::fail(const std::string& reason) {
    if (ok()) error_ = reason;
    discard();
}

void AtomicFile::failWithErrno(const char* what) {
    const int code = errno;
    fail(code != 0 ? std::string(what) + " (" + std::strerror(code) + ")" : std::string(what));
}

}  // namespace kubelmar
