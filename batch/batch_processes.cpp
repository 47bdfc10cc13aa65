#include "batch/batch_processes.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace kubelmar {

namespace {

using Counter = std::atomic<std::uint64_t>;
static_assert(Counter::is_always_lock_free, "the item counter is shared between processes");

// --- Messages from a worker process, each framed as
// [kind:1][item:8][payload length:4][payload]. A pipe has one writer, so
// frames never interleave.

enum class Kind : char { Started = 'S', Finished = 'F' };

void putU32(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }
void putU64(std::string& out, std::uint64_t value) { out.append(reinterpret_cast<const char*>(&value), 8); }
void putString(std::string& out, const std::string& text) {
    putU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// Reads fields back in the order they were put; any overrun marks the whole
// payload bad rather than reading past it.
class Reader {
public:
    explicit Reader(const std::string& data) : data_(data) {}
    template <typename T>
    T get() {
        T value{};
        if (pos_ + sizeof(T) > data_.size()) {
            bad_ = true;
            return value;
        }
        std::memcpy(&value, data_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    std::string getString() {
        const std::uint32_t length = get<std::uint32_t>();
        if (bad_ || pos_ + length > data_.size()) {
            bad_ = true;
            return {};
        }
        std::string text = data_.substr(pos_, length);
        pos_ += length;
        return text;
    }
    bool failed() const { return bad_; }
    bool ok() const { return !bad_ && pos_ == data_.size(); }

private:
    const std::string& data_;
    std::size_t pos_ = 0;
    bool bad_ = false;
};

std::string encodeOutcome(const RunReport& outcome) {
    std::string out;
    putU32(out, static_cast<std::uint32_t>(outcome.status));
    out.append(reinterpret_cast<const char*>(&outcome.seconds), sizeof outcome.seconds);
    putU32(out, static_cast<std::uint32_t>(outcome.size));
    putU32(out, static_cast<std::uint32_t>(outcome.filesWritten));
    putU64(out, outcome.filledVoxels);
    putU32(out, static_cast<std::uint32_t>(outcome.mode));
    putU32(out, static_cast<std::uint32_t>(outcome.diagnostics.size()));
    for (const Diagnostic& d : outcome.diagnostics) {
        putU32(out, static_cast<std::uint32_t>(d.severity));
        putString(out, d.file);
        putU32(out, static_cast<std::uint32_t>(d.line));
        putString(out, d.message);
    }
    putU32(out, static_cast<std::uint32_t>(outcome.phases.size()));
    for (const PhaseTime& phase : outcome.phases) {
        putString(out, phase.label);
        out.append(reinterpret_cast<const char*>(&phase.seconds), sizeof phase.seconds);
    }
    return out;
}

bool decodeOutcome(const std::string& payload, RunReport& outcome) {
    Reader in(payload);
    const std::uint32_t status = in.get<std::uint32_t>();
    outcome.status = status <= static_cast<std::uint32_t>(RunReport::Status::Cancelled)
                         ? static_cast<RunReport::Status>(status)
                         : RunReport::Status::Failed;
    outcome.seconds = in.get<double>();
    outcome.size = static_cast<int>(in.get<std::uint32_t>());
    outcome.filesWritten = static_cast<int>(in.get<std::uint32_t>());
    outcome.filledVoxels = in.get<std::uint64_t>();
    outcome.mode = modeFromNumber(static_cast<int>(in.get<std::uint32_t>())).value_or(VoxelMode::Clipping);
    const std::uint32_t diagnostics = in.get<std::uint32_t>();
    for (std::uint32_t k = 0; k < diagnostics && !in.failed(); ++k) {
        Diagnostic d;
        d.severity = in.get<std::uint32_t>() == static_cast<std::uint32_t>(Diagnostic::Severity::Warning)
                         ? Diagnostic::Severity::Warning
                         : Diagnostic::Severity::Error;
        d.file = in.getString();
        d.line = static_cast<int>(in.get<std::uint32_t>());
        d.message = in.getString();
        outcome.diagnostics.push_back(std::move(d));
    }
    const std::uint32_t phases = in.get<std::uint32_t>();
    for (std::uint32_t k = 0; k < phases && !in.failed(); ++k) {
        PhaseTime phase;
        phase.label = in.getString();
        phase.seconds = in.get<double>();
        outcome.phases.push_back(std::move(phase));
    }
    return in.ok();
}

// Writes all of `data`; false when the reader has gone.
bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool sendFrame(int fd, Kind kind, std::uint64_t item, const std::string& payload = {}) {
    std::string frame(1, static_cast<char>(kind));
    putU64(frame, item);
    putString(frame, payload);
    return writeAll(fd, frame);
}

// The body of a worker process; never returns.
[[noreturn]] void workerMain(int fd, Counter& next, const std::vector<MeshJob>& items,
                             const WorkerFactory& makeWorker) {
    // A parent that is killed takes its workers with it (an interrupt from
    // the terminal reaches them all anyway, as one process group).
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() == 1) ::_exit(1);
    std::string error;
    std::unique_ptr<BatchWorker> worker = makeWorker(&error);
    for (std::uint64_t k = next++; k < items.size(); k = next++) {
        if (!sendFrame(fd, Kind::Started, k)) break;
        RunReport outcome;
        if (worker) {
            outcome = worker->run(items[k]);
        } else {
            outcome.fail(errorAbout(items[k].meshPath, error));
        }
        if (!sendFrame(fd, Kind::Finished, k, encodeOutcome(outcome))) break;
    }
    worker.reset();
    std::fflush(nullptr);
    ::_exit(0);
}

// "signal 11 (Segmentation fault)" or "exit status 3".
std::string describeEnd(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return "signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    return "an unknown status";
}

struct Child {
    pid_t pid = -1;
    int fd = -1;
    std::string buffer;                 // bytes read but not yet a whole frame
    std::optional<std::uint64_t> item;  // started, not yet finished
    bool tookAny = false;
};

class ProcessPool {
public:
    ProcessPool(const std::vector<MeshJob>& items, const WorkerFactory& makeWorker,
                const std::function<void(const RunReport&)>& finished, Counter& next)
        : items_(items),
          makeWorker_(makeWorker),
          finished_(finished),
          next_(next),
          outcomes_(items.size()),
          reported_(items.size(), false) {}

    std::vector<RunReport> run(int jobs) {
        for (int j = 0; j < jobs; ++j)
            if (!spawn()) break;
        while (!children_.empty()) {
            std::vector<pollfd> fds;
            for (const Child& child : children_) fds.push_back({child.fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            for (std::size_t c = fds.size(); c-- > 0;)
                if (fds[c].revents != 0) readFrom(c);
        }
        // Whatever no worker finished: none could start, every one died, or
        // one died between taking an item and saying so.
        const std::string why = lastEnd_.empty() ? std::string("no worker process could be started")
                                                 : "the worker processes ended with " + lastEnd_;
        for (std::uint64_t k = 0; k < items_.size(); ++k)
            if (!reported_[k]) report(k, failed(k, "not run: " + why));
        return std::move(outcomes_);
    }

private:
    bool spawn() {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return false;
        std::fflush(nullptr);  // or the child would write the parent's buffered output again
        const pid_t pid = ::fork();
        if (pid < 0) {
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            return false;
        }
        if (pid == 0) {
            ::close(pipeFds[0]);
            for (const Child& other : children_) ::close(other.fd);
            workerMain(pipeFds[1], next_, items_, makeWorker_);
        }
        ::close(pipeFds[1]);
        Child child;
        child.pid = pid;
        child.fd = pipeFds[0];
        children_.push_back(std::move(child));
        return true;
    }

    void readFrom(std::size_t c) {
        char chunk[65536];
        const ssize_t n = ::read(children_[c].fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) return;
        if (n > 0) {
            children_[c].buffer.append(chunk, static_cast<std::size_t>(n));
            parseFrames(children_[c]);
            return;
        }
        ended(c);
    }

    void parseFrames(Child& child) {
        constexpr std::size_t kHeader = 1 + 8 + 4;
        std::size_t pos = 0;
        while (child.buffer.size() - pos >= kHeader) {
            const char kind = child.buffer[pos];
            std::uint64_t k;
            std::uint32_t length;
            std::memcpy(&k, child.buffer.data() + pos + 1, 8);
            std::memcpy(&length, child.buffer.data() + pos + 9, 4);
            if (child.buffer.size() - pos - kHeader < length) break;
            const std::string payload = child.buffer.substr(pos + kHeader, length);
            pos += kHeader + length;
            if (k >= items_.size()) continue;
            if (kind == static_cast<char>(Kind::Started)) {
                child.item = k;
                child.tookAny = true;
            } else if (kind == static_cast<char>(Kind::Finished)) {
                child.item.reset();
                RunReport outcome;
                if (!decodeOutcome(payload, outcome)) outcome = failed(k, "the worker process sent a garbled outcome");
                report(k, std::move(outcome));
            }
        }
        child.buffer.erase(0, pos);
    }

    void ended(std::size_t c) {
        Child child = std::move(children_[c]);
        children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(c));
        ::close(child.fd);
        int status = 0;
        while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
        }
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (clean && !child.item) return;
        lastEnd_ = describeEnd(status);
        if (child.item) report(*child.item, failed(*child.item, "the worker process ended with " + lastEnd_));
        // Carry on without it only if it never got as far as an item: a
        // worker that can't even start would fail again.
        if (child.tookAny && next_.load() < items_.size()) spawn();
    }

    RunReport failed(std::uint64_t k, const std::string& why) const {
        RunReport outcome;
        outcome.fail(errorAbout(items_[k].meshPath, why));
        return outcome;
    }

    void report(std::uint64_t k, RunReport outcome) {
        if (reported_[k]) return;
        reported_[k] = true;
        outcome.job = items_[k];
        outcomes_[k] = std::move(outcome);
        if (finished_) finished_(outcomes_[k]);
    }

    const std::vector<MeshJob>& items_;
    const WorkerFactory& makeWorker_;
    const std::function<void(const RunReport&)>& finished_;
    Counter& next_;
    std::vector<RunReport> outcomes_;
    std::vector<bool> reported_;
    std::vector<Child> children_;
    std::string lastEnd_;
};

}  // namespace

std::vector<RunReport> runBatchInProcesses(const std::vector<MeshJob>& items, int jobs,
                                             const WorkerFactory& makeWorker,
                                             const std::function<void(const RunReport&)>& finished) {
    const int workers = std::min<long long>(std::max(jobs, 1), static_cast<long long>(items.size()));
    if (workers <= 1) return runBatchInThreads(items, 1, makeWorker, finished);
    void* shared = ::mmap(nullptr, sizeof(Counter), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return runBatchInThreads(items, jobs, makeWorker, finished);
    Counter* next = new (shared) Counter(0);
    std::vector<RunReport> outcomes = ProcessPool(items, makeWorker, finished, *next).run(workers);
    next->~Counter();
    ::munmap(shared, sizeof(Counter));
    return outcomes;
}

}  // namespace kubelmar
