// A forked child with memory and time limits, for third-party parsers.
#include "mesh/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>

#include "base/sanitizer.h"

namespace kubelmar {

namespace {

// Exit status of a child whose work ran out of memory.
constexpr int kOutOfMemory = 3;

// The address space the process has mapped already (bytes), which the child
// inherits before it reads anything.
std::uint64_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    if (!(statm >> pages)) return 0;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

[[noreturn]] void runChild(int out, const LoadLimits& limits, std::uint64_t inherited, const ChildWork& work) {
#ifndef KUBELMAR_ASAN
    // The sanitizer reserves terabytes of shadow address space up front; a
    // limit would stop it, not the reader.
    const std::uint64_t limit = inherited + limits.maxMemoryBytes;
    const rlimit memory{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_AS, &memory);
#else
    (void)inherited;
    (void)limits;
#endif
    // A core of a hostile file's crash is of no use and may be large.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(SIGPIPE, SIG_DFL);
    int status = 0;
    try {
        status = work(out);
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

bool writeAllTo(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ChildOutcome runLimitedChild(const LoadLimits& limits, std::chrono::steady_clock::time_point deadline,
                             const ChildWork& work) {
    ChildOutcome outcome;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        outcome.end = ChildOutcome::End::CannotStart;
        outcome.detail = std::strerror(errno);
        return outcome;
    }
    const std::uint64_t inherited = mappedBytes();
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        outcome.end = ChildOutcome::End::CannotStart;
        outcome.detail = std::strerror(error);
        return outcome;
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        runChild(pipeEnds[1], limits, inherited, work);
    }
    ::close(pipeEnds[1]);

    // The reply, up to the budget, until the child closes its end or the
    // time is up.
    using Clock = std::chrono::steady_clock;
    bool timedOut = false, tooLarge = false;
    std::string& reply = outcome.reply;
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

    using End = ChildOutcome::End;
    if (timedOut) {
        outcome.end = End::TimedOut;
    } else if (tooLarge) {
        outcome.end = End::TooLarge;
    } else if (WIFSIGNALED(status)) {
        outcome.end = End::Signalled;
        outcome.detail = signalName(WTERMSIG(status));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory) {
        outcome.end = End::OutOfMemory;
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        outcome.end = End::ExitStatus;
        outcome.detail = std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return outcome;
}

}  // namespace kubelmar
