#include "cli/console.h"

#include <cstdio>
#include <sstream>

namespace kubelmar {

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

void Console::result(const std::string& line) {
    if (quiet_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void Console::error(const std::string& line) {
    const std::string text = startsWith(line, "ERROR: ") ? line.substr(7) : line;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fflush(stdout);
    std::fprintf(stderr, "kubelmar-cli: %s\n", text.c_str());
}

void Console::warning(const std::string& line) {
    if (quiet_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "WARNING: %s\n", line.c_str());
}

void Console::engineLines(const std::string& text) {
    if (quiet_ || text.empty()) return;
    std::istringstream in(text);
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::string line; std::getline(in, line);)
        if (verbose_ || startsWith(line, "WARNING")) std::fprintf(stderr, "%s\n", line.c_str());
}

void Console::loadLog(const LoadLog& log) {
    if (!verbose_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const LoadLogLine& line : log)
        if (line.stream == LoadLogLine::Out && verbose_) std::fprintf(stderr, "%s\n", line.text.c_str());
}

}  // namespace kubelmar
