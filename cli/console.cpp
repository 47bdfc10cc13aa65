#include "cli/console.h"

#include <cstdio>

namespace kubelmar {

void Console::result(const std::string& line) {
    if (quiet_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* stream = resultsToStderr_ ? stderr : stdout;
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
}

void Console::error(const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fflush(stdout);
    std::fprintf(stderr, "kubelmar-cli: %s\n", line.c_str());
}

void Console::warning(const std::string& line) {
    if (quiet_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "WARNING: %s\n", line.c_str());
}

void Console::report(const Diagnostics& diagnostics) {
    for (const Diagnostic& d : diagnostics) {
        if (d.severity == Diagnostic::Severity::Error)
            error(d.text());
        else
            warning(d.text());
    }
}

void Console::engineLines(const std::string& text) {
    if (!verbose_ || text.empty()) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "%s", text.c_str());
    if (text.back() != '\n') std::fprintf(stderr, "\n");
}

}  // namespace kubelmar
