#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "mesh/load_limits.h"

namespace kubelmar {

// How a child started by runLimitedChild ended.
struct ChildOutcome {
    enum class End {
        Finished,     // exit status 0
        CannotStart,  // no pipe or no fork; `detail` says why
        TimedOut,     // past the deadline, then killed
        TooLarge,     // wrote more than the memory budget, then killed
        Signalled,    // `detail`: "11 (Segmentation fault)"
        OutOfMemory,  // caught std::bad_alloc
        ExitStatus,   // any other exit; `detail`: the status
    };
    End end = End::Finished;
    std::string detail;
    // What the child wrote before it ended, whole or not: a child that dies
    // part way leaves the records it finished.
    std::string reply;
};

// Runs `work` in a forked child under an address-space limit of
// limits.maxMemoryBytes beyond what the process has mapped already (none
// under AddressSanitizer, which reserves terabytes up front), with no core
// files, until `deadline`. `work` writes its reply to the file descriptor
// it is given and returns the child's exit status; a std::bad_alloc it lets
// out becomes OutOfMemory, anything else an abort. At most
// limits.maxMemoryBytes of reply are accepted. Threads of the caller other
// than this one are not copied into the child.
using ChildWork = std::function<int(int replyFd)>;
ChildOutcome runLimitedChild(const LoadLimits& limits, std::chrono::steady_clock::time_point deadline,
                             const ChildWork& work);

// Writes all of `bytes` to `fd`, retrying short writes; false on failure.
bool writeAllTo(int fd, const std::string& bytes);

}  // namespace kubelmar
