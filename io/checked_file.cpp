#include "io/checked_file.h"

#include <unistd.h>

#include <cerrno>

#include "io/file_system.h"

namespace kubelmar {

CheckedFile::~CheckedFile() {
    if (file_) std::fclose(file_);
}

void CheckedFile::fail(int error) {
    // A stdio failure without errno (a short fwrite) is still a failure.
    if (first_.ok) first_ = IoResult::failure(path_, fsx::reason(error != 0 ? error : EIO));
}

IoResult CheckedFile::open(const std::string& path) {
    if (file_) std::fclose(file_);
    path_ = path;
    first_ = {};
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) fail(errno);
    return first_;
}

bool CheckedFile::write(const void* data, std::size_t size) {
    if (!file_) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size) {
        fail(errno);
        return false;
    }
    return true;
}

IoResult CheckedFile::finish(bool sync) {
    if (!file_) {
        if (first_.ok) first_ = IoResult::failure(path_, "not open");
        return first_;
    }
    errno = 0;
    if (std::ferror(file_)) fail(errno);  // a writer that used file() directly
    if (std::fflush(file_) != 0) fail(errno);
    if (sync && first_.ok && fsync(fileno(file_)) != 0 && errno != EINVAL) fail(errno);
    if (std::fclose(file_) != 0) fail(errno);
    file_ = nullptr;
    return first_;
}

}  // namespace kubelmar
