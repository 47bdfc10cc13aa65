#include "cli/terminal_progress.h"

#include <unistd.h>

namespace kubelmar {

TerminalProgress::TerminalProgress(std::FILE* stream)
    : stream_(stream), terminal_(isatty(fileno(stream)) != 0) {}

void TerminalProgress::begin(const std::string& label, int maximum) {
    label_ = label;
    maximum_ = maximum;
    lastDrawn_ = -1;
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
    const int filled = maximum_ > 0 ? value * kWidth / maximum_ : kWidth;
    if (filled == lastDrawn_) return;
    lastDrawn_ = filled;
    std::fprintf(stream_, "\r%-40s [%-*s] %3d%%", label_.c_str(), kWidth,
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 maximum_ > 0 ? value * 100 / maximum_ : 100);
    std::fflush(stream_);
}

void TerminalProgress::end() {
    if (!terminal_) return;
    draw(maximum_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

}  // namespace kubelmar
