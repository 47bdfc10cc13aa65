#pragma once

#include <mutex>
#include <string>

#include "base/diagnostic.h"

namespace kubelmar {

// The command line's streams, shared by batch workers: results on stdout,
// everything else on stderr, whole lines only. --quiet keeps errors alone;
// --verbose adds the engine's console lines.
class Console {
public:
    Console(bool quiet, bool verbose) : quiet_(quiet), verbose_(verbose) {}

    // A result line (stdout), unless quiet. With stdout taken by a report,
    // it goes to stderr.
    void result(const std::string& line);
    void resultsToStderr() { resultsToStderr_ = true; }
    // One failure: "kubelmar-cli: <line>" on stderr, always.
    void error(const std::string& line);
    // "WARNING: <line>" on stderr, unless quiet.
    void warning(const std::string& line);
    // Each diagnostic in its form: errors through error(), warnings through
    // warning(), with the file (and line) in front.
    void report(const Diagnostics& diagnostics);
    // The engine's console text (newline-separated): every line when
    // verbose.
    void engineLines(const std::string& text);

    bool quiet() const { return quiet_; }
    bool verbose() const { return verbose_; }

private:
    bool quiet_;
    bool verbose_;
    bool resultsToStderr_ = false;
    std::mutex mutex_;
};

}  // namespace kubelmar
