#pragma once

#include <mutex>
#include <string>

#include "mesh/load_log.h"

namespace kubelmar {

// The command line's streams, shared by batch workers: results on stdout,
// everything else on stderr, whole lines only. --quiet keeps errors alone;
// --verbose adds the engine's console lines.
class Console {
public:
    Console(bool quiet, bool verbose) : quiet_(quiet), verbose_(verbose) {}

    // A result line (stdout), unless quiet.
    void result(const std::string& line);
    // One failure: "kubelmar-cli: <line>" on stderr, always. A leading
    // "ERROR: " of an engine message is dropped so every failure reads alike.
    void error(const std::string& line);
    // "WARNING: <line>" on stderr, unless quiet.
    void warning(const std::string& line);
    // The engine's console text (newline-separated): every line when
    // verbose, else only its WARNING lines (unless quiet).
    void engineLines(const std::string& text);
    // A load's stdout lines ("Opening: ...") when verbose. Its stderr lines
    // are not printed: the caller reports the warnings (once, with any of
    // the run's own) through warning() and the failure through error().
    void loadLog(const LoadLog& log);

    bool quiet() const { return quiet_; }
    bool verbose() const { return verbose_; }

private:
    bool quiet_;
    bool verbose_;
    std::mutex mutex_;
};

}  // namespace kubelmar
