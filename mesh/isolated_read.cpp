// The third-party reader in a child process with limits.
#include "mesh/isolated_read.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <new>

#include "mesh/assimp_reader.h"
#include "mesh/mesh_wire.h"
#include "base/sanitizer.h"

namespace kubelmar {

namespace {

// Exit statuses of the child besides 0 (a reply was written).
constexpr int kOutOfMemory = 3;
constexpr int kWriteFailed = 4;

// The address space the process has mapped already (bytes), which the child
// inherits before it reads anything.
std::uint64_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    if (!(statm >> pages)) return 0;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

[[noreturn]] void runChild(int out, const LoadLimits& limits, std::uint64_t inherited, const MeshReadFunction& read) {
#ifndef KUBELMAR_ASAN
    // The sanitizer reserves terabytes of shadow address space up front; a
    // limit would stop it, not the reader.
    const std::uint64_t limit = inherited + limits.maxMemoryBytes;
    const rlimit memory{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_AS, &memory);
#else
    (void)inherited;
#endif
    // A core of a hostile file's crash is of no use and may be large.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(SIGPIPE, SIG_DFL);
    int status = 0;
    try {
        Mesh mesh;
        ObjReadResult result = read(mesh);
        // The importer turns a failed allocation into its error text.
        if (!result.ok && result.error.message.find("bad_alloc") != std::string::npos)
            result.error.message = "cannot read mesh: the reader ran out of its memory limit of " +
                                   describeBytes(limits.maxMemoryBytes) + " (--max-memory)";
        if (!writeAll(out, encodeReadResult(result, mesh))) status = kWriteFailed;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    } catch (...) {
        std::abort();
    }
    // No destructors of the parent's objects, no atexit handlers, no
    // flushing of buffers the parent owns.
    _exit(status);
}

std::string signalName(int signal) {
    const char* name = strsignal(signal);
    return std::to_string(signal) + (name ? std::string(" (") + name + ")" : std::string());
}

}  // namespace

ObjReadResult readWithAssimpIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits) {
    return readIsolated(mesh, path, limits, [&](Mesh& into) { return readWithAssimp(into, path, limits); });
}

ObjReadResult readIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits, const MeshReadFunction& read) {
    ObjReadResult result;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        result.error = errorAbout(path, std::string("cannot start the reader: ") + std::strerror(errno));
        return result;
    }
    const std::uint64_t inherited = mappedBytes();
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        result.error = errorAbout(path, std::string("cannot start the reader: ") + std::strerror(error));
        return result;
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        runChild(pipeEnds[1], limits, inherited, read);
    }
    ::close(pipeEnds[1]);

    // The reply, up to the budget, until the child closes its end or the
    // time is up.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.maxReadSeconds);
    std::string reply;
    bool timedOut = false, tooLarge = false;
    char chunk[1 << 16];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipeEnds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = ::read(pipeEnds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (reply.size() + static_cast<std::size_t>(n) > limits.maxMemoryBytes) {
            tooLarge = true;
            break;
        }
        reply.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    if (timedOut || tooLarge) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    const std::string stopped = "the reader stopped";
    if (timedOut) {
        result.error = errorAbout(path, "cannot read mesh: the reader took more than " + std::to_string(limits.maxReadSeconds) +
                                            " seconds and was stopped");
    } else if (tooLarge) {
        result.error = errorAbout(path, "cannot read mesh: the mesh is larger than the memory limit of " +
                                            describeBytes(limits.maxMemoryBytes) + " (--max-memory)");
    } else if (WIFSIGNALED(status)) {
        result.error = errorAbout(path, "cannot read mesh: " + stopped + " with signal " + signalName(WTERMSIG(status)));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory) {
        result.error = errorAbout(path, "cannot read mesh: the reader ran out of its memory limit of " +
                                            describeBytes(limits.maxMemoryBytes) + " (--max-memory)");
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.error = errorAbout(path, "cannot read mesh: " + stopped + " with exit status " +
                                            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
    } else {
        Mesh read;
        ObjReadResult decoded;
        if (!decodeReadResult(reply, decoded, read)) {
            result.error = errorAbout(path, "cannot read mesh: the reader's reply was incomplete");
        } else {
            result = std::move(decoded);
            if (result.ok) mesh = std::move(read);
        }
    }
    return result;
}

}  // namespace kubelmar
