#pragma once

#include <cstdio>
#include <string>

#include "voxel/progress.h"

namespace kubelmar {

// Progress on stderr: a redrawn bar on a terminal, one line per step
// otherwise (logs, CI).
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::FILE* stream);
    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override;
    void end() override;

private:
    void draw(int value);
    std::FILE* stream_;
    bool terminal_;
    std::string label_;
    int maximum_ = 0;
    int lastDrawn_ = -1;
};

}  // namespace kubelmar
