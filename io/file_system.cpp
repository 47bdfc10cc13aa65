#include "io/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace kubelmar::fsx {

// strerror() may share one buffer between threads; this doesn't (slices
// are written on several).
std::string reason(int error) { return std::generic_category().message(error); }

IoResult listNames(const std::string& directory, std::vector<std::string>& names) {
    names.clear();
    DIR* dir = opendir(directory.c_str());
    if (!dir) return IoResult::failure(directory, reason(errno));
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) break;
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    closedir(dir);
    if (error != 0) return IoResult::failure(directory, reason(error));
    return {};
}

IoResult syncPath(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return IoResult::failure(path, reason(errno));
    // EINVAL: the file system has no fsync to offer (some FUSE and special
    // files); there is nothing more to flush then.
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    if (::close(fd) != 0 && synced) return IoResult::failure(path, reason(errno));
    if (!synced) return IoResult::failure(path, reason(error));
    return {};
}

IoResult syncFileSystem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return IoResult::failure(path, reason(errno));
    // syncfs reports write-back errors of any file of the file system since
    // the last call, so a full disk found at flush time fails the commit.
    const bool synced = syncfs(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced) return IoResult::failure(path, reason(error));
    return {};
}

IoResult removeTree(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return {};
        return IoResult::failure(path, reason(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        std::vector<std::string> names;
        IoResult listed = listNames(path, names);
        if (!listed.ok) return listed;
        for (const std::string& name : names) {
            IoResult removed = removeTree(path + "/" + name);
            if (!removed.ok) return removed;
        }
        if (rmdir(path.c_str()) != 0) return IoResult::failure(path, reason(errno));
        return {};
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return IoResult::failure(path, reason(errno));
    return {};
}

bool processAlive(long pid) {
    if (pid <= 0) return true;  // not a pid we can judge: leave its folder alone
    // EPERM: it exists but belongs to someone else.
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

IoResult makeDirectories(const std::string& directory, std::vector<std::string>& created) {
    created.clear();
    if (directory.empty()) return IoResult::failure(directory, "empty folder name");
    // Walk up to the first ancestor that exists, then create downwards.
    std::vector<std::string> missing;
    std::string current = directory;
    while (!current.empty()) {
        struct stat info {};
        if (stat(current.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) return IoResult::failure(current, "exists and is not a folder");
            break;
        }
        if (errno != ENOENT) return IoResult::failure(current, reason(errno));
        missing.push_back(current);
        while (!current.empty() && current.back() == '/') current.pop_back();
        const std::size_t slash = current.rfind('/');
        current = slash == std::string::npos ? std::string() : current.substr(0, slash == 0 ? 1 : slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) return IoResult::failure(*it, reason(errno));
        created.push_back(*it);
    }
    return {};
}

}  // namespace kubelmar::fsx
