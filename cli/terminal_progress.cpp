#include "cli/terminal_progress.h"

#include <unistd.h>

namespace kubelmar {

TerminalProgress::TerminalProgress(std::FILE* stream)
    : stream_(stream), terminal_(isatty(fileno(stream)) != 0) {}

void TerminalProgress::begin(const std::string& label, int maximum) {
    label_ = label;
    maximum_ = maximum;
    lastPercent_ = -1;
    start_ = std::chrono::steady_clock::now();
    if (!terminal_) {
        std::fprintf(stream_, "%s\n", label.c_str());
        std::fflush(stream_);
    }
}

void TerminalProgress::setValue(int value) {
    if (terminal_) draw(value);
}

void TerminalProgress::draw(int value) {
    constexpr int kWidth = 30;
    const int percent = maximum_ > 0 ? value * 100 / maximum_ : 100;
    if (percent == lastPercent_) return;  // at most 101 redraws a step
    lastPercent_ = percent;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char eta[32] = "";
    // The rate so far, once there is one to go by.
    if (value > 0 && value < maximum_ && elapsed > 0.5)
        std::snprintf(eta, sizeof eta, " ETA %.0f s", elapsed * (maximum_ - value) / value);
    const int filled = percent * kWidth / 100;
    std::fprintf(stream_, "\r%-36.36s [%-*s] %3d%%%-12s", label_.c_str(), kWidth,
                 std::string(static_cast<std::size_t>(filled), '#').c_str(), percent, eta);
    std::fflush(stream_);
    drawn_ = true;
}

void TerminalProgress::clear() {
    if (!drawn_) return;
    std::fprintf(stream_, "\r%*s\r", 36 + 3 + 30 + 5 + 12, "");
    std::fflush(stream_);
    drawn_ = false;
    lastPercent_ = -1;
}

void TerminalProgress::end() {
    if (!terminal_) return;
    draw(maximum_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
    drawn_ = false;
}

}  // namespace kubelmar
