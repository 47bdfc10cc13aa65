#pragma once

#include <string>

namespace kubelmar {

// What a long step reports: begin(label, maximum), setValue(0..maximum)
// before each unit of work, end(). The desktop program shows a progress
// dialog; the command line a bar or plain lines; tests record the calls.
// A front end that offers Cancel says so through cancelled(): a run checks
// it between slabs and slices, stops and leaves nothing written.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(const std::string& label, int maximum) = 0;
    virtual void setValue(int value) = 0;
    virtual void end() = 0;
    virtual bool cancelled() const { return false; }
};

class NullProgress final : public Progress {
public:
    void begin(const std::string&, int) override {}
    void setValue(int) override {}
    void end() override {}
};

// Begins a step on construction and ends it (after setting the maximum) on
// destruction, so every early return still closes the step.
class ProgressStep {
public:
    ProgressStep(Progress& progress, const std::string& label, int maximum)
        : progress_(progress), maximum_(maximum) {
        progress_.begin(label, maximum);
    }
    ~ProgressStep() {
        progress_.setValue(maximum_);
        progress_.end();
    }
    ProgressStep(const ProgressStep&) = delete;
    ProgressStep& operator=(const ProgressStep&) = delete;
    void setValue(int value) { progress_.setValue(value); }

private:
    Progress& progress_;
    int maximum_;
};

}  // namespace kubelmar
