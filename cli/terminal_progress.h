#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "volume/progress.h"

namespace kubelmar {

// Progress on stderr: on a terminal a redrawn bar with the step's label,
// percentage and estimated time left; otherwise (logs, CI) one plain line
// per step, when it begins.
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::FILE* stream);
    TerminalProgress(std::FILE* stream, bool terminal) : stream_(stream), terminal_(terminal) {}
    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override;
    void end() override;
    // Takes a drawn bar off its line, so that other lines can be printed
    // there; the next setValue() draws it again.
    void clear();

private:
    void draw(int value);
    std::FILE* stream_;
    bool terminal_;
    std::string label_;
    int maximum_ = 0;
    int lastPercent_ = -1;
    bool drawn_ = false;  // a bar is on the current line
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kubelmar
