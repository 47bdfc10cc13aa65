#include "cli/step_timer.h"

namespace kubelmar {

void StepTimer::begin(const std::string& label, int maximum) {
    label_ = label;
    start_ = std::chrono::steady_clock::now();
    inner_.begin(label, maximum);
}

void StepTimer::end() {
    inner_.end();
    report(label_, std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
}

void StepTimer::report(const std::string& label, double seconds) const {
    std::fprintf(stream_, "time: %s %.3f\n", label.c_str(), seconds);
    std::fflush(stream_);
}

}  // namespace kubelmar
