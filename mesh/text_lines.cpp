#include "mesh/text_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "mesh/obj_number.h"

namespace kubelmar::text {

std::string_view skipByteOrderMark(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

const char* nextLine(const char* p, const char* end, const char*& lineEnd) {
    const char* q = p;
    while (q < end && *q != '\n' && *q != '\r') ++q;
    lineEnd = q;
    if (q == end) return end;
    if (*q == '\r' && q + 1 < end && q[1] == '\n') return q + 2;
    return q + 1;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && obj::isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && obj::isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool readRegularFile(const std::string& path, std::string& out, std::string& reason, std::size_t maxBytes) {
    // Non-blocking so that opening a FIFO returns at once; fstat then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        ::close(fd);
        return false;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        reason = "larger than " + std::to_string(maxBytes) + " bytes";
        ::close(fd);
        return false;
    }
    out.resize(static_cast<std::size_t>(info.st_size));
    std::size_t used = 0;
    while (used < out.size()) {
        const ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reason = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) break;  // the file shrank meanwhile
        used += static_cast<std::size_t>(got);
    }
    out.resize(used);
    ::close(fd);
    return true;
}

}  // namespace kubelmar::text
