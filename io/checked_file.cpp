#include "io/checked_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "io/file_system.h"

namespace kubelmar {

CheckedFile::~CheckedFile() { discard(); }

void CheckedFile::failWithErrno(int error) {
    // A write that moved nothing sets no errno; it still failed.
    fail(fsx::reason(error != 0 ? error : EIO));
}

void CheckedFile::fail(std::string reason) {
    if (first_.ok) first_ = IoResult::failure(path_, std::move(reason));
}

IoResult CheckedFile::open(const std::string& path, FileCommit commit, std::size_t bufferBytes) {
    discard();
    if (bufferBytes != bufferBytes_) buffer_.reset();
    bufferBytes_ = bufferBytes;
    path_ = path;
    commit_ = commit;
    temporary_ = commit == FileCommit::Replace ? path + std::string(kPartialSuffix) : std::string();
    buffered_ = 0;
    first_ = {};
    const std::string& target = commit == FileCommit::Replace ? temporary_ : path_;
    fd_ = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) failWithErrno(errno);
    return first_;
}

bool CheckedFile::writeOut(const char* data, std::size_t size) {
    while (size > 0 && first_.ok) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failWithErrno(n < 0 ? errno : ENOSPC);
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return first_.ok;
}

bool CheckedFile::flushBuffer() {
    const std::size_t size = std::exchange(buffered_, 0);
    return writeOut(buffer_.get(), size);
}

bool CheckedFile::write(const void* data, std::size_t size) {
    if (fd_ < 0 || !first_.ok) return false;
    const char* bytes = static_cast<const char*>(data);
    if (buffered_ + size > bufferBytes_ && buffered_ > 0 && !flushBuffer()) return false;
    if (size >= bufferBytes_) return writeOut(bytes, size);
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(bufferBytes_);
    if (size > 0) std::memcpy(buffer_.get() + buffered_, bytes, size);
    buffered_ += size;
    return true;
}

IoResult CheckedFile::finish(bool sync) {
    if (fd_ < 0) {
        fail("not open");
        return first_;
    }
    if (first_.ok) flushBuffer();
    if (first_.ok && (sync || commit_ == FileCommit::Replace) && ::fsync(fd_) != 0 && errno != EINVAL)
        failWithErrno(errno);
    const int fd = std::exchange(fd_, -1);
    // Linux frees the descriptor even when close reports an error: no retry.
    if (::close(fd) != 0 && first_.ok) failWithErrno(errno);
    if (commit_ == FileCommit::Replace) {
        // Only a file whose every byte reached the disk replaces the old one.
        if (first_.ok && std::rename(temporary_.c_str(), path_.c_str()) != 0) failWithErrno(errno);
        if (!first_.ok) ::unlink(temporary_.c_str());
    }
    return first_;
}

void CheckedFile::discard() {
    if (fd_ < 0) return;
    ::close(std::exchange(fd_, -1));
    buffered_ = 0;
    if (commit_ == FileCommit::Replace) ::unlink(temporary_.c_str());
}

IoResult writeWholeFile(const std::string& path, const void* data, std::size_t size, FileCommit commit) {
    CheckedFile file;
    file.open(path, commit, 0);
    file.write(data, size);
    return file.finish();
}

}  // namespace kubelmar
