#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "volume/progress.h"

namespace kubelmar {

// Passes progress on and prints, after each step, its wall time in seconds:
// "time: <label> <seconds>" on `stream` (--timings; read by bench/).
class StepTimer final : public Progress {
public:
    StepTimer(Progress& inner, std::FILE* stream) : inner_(inner), stream_(stream) {}
    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override { inner_.setValue(value); }
    void end() override;
    // Prints one line for a phase timed outside the progress steps.
    void report(const std::string& label, double seconds) const;

private:
    Progress& inner_;
    std::FILE* stream_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kubelmar
