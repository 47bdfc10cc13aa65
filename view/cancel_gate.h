#pragma once

#include <functional>
#include <utility>

#include "volume/slice_consumer.h"

// Stops a run the user cancelled: placed first in a fan-out, it fails the
// next slice (or the end) once `cancelled` says so. The engine then stops
// after the slab or slice it is on and aborts every consumer, and the files
// staged so far are removed: a cancelled save leaves its folder as it was.
class CancelGate final : public kubelmar::SliceConsumer {
public:
    static constexpr const char* kMessage = "Cancelled by the user";

    explicit CancelGate(std::function<bool()> cancelled) : cancelled_(std::move(cancelled)) {}

    kubelmar::WriteResult begin(const kubelmar::VolumeInfo&) override { return check(); }
    kubelmar::WriteResult slice(int, const std::uint8_t*) override { return check(); }
    kubelmar::WriteResult end() override { return check(); }
    bool tripped() const { return tripped_; }

private:
    kubelmar::WriteResult check() {
        if (!tripped_ && cancelled_()) tripped_ = true;
        if (!tripped_) return {};
        return kubelmar::runFailure(kMessage);
    }

    std::function<bool()> cancelled_;
    bool tripped_ = false;
};
