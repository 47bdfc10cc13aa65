#include "formats/fan_out_consumer.h"

#include <utility>

namespace kubelmar {

void FanOutConsumer::add(std::unique_ptr<SliceConsumer> consumer) {
    consumers_.push_back(consumer.get());
    owned_.push_back(std::move(consumer));
}

void FanOutConsumer::add(SliceConsumer& consumer) { consumers_.push_back(&consumer); }

WriteResult FanOutConsumer::begin(const VolumeInfo& info) {
    stopped_ = false;
    begun_ = 0;
    for (SliceConsumer* consumer : consumers_) {
        ++begun_;
        WriteResult result = consumer->begin(info);
        if (!result.ok) return stop(std::move(result));
    }
    return {};
}

WriteResult FanOutConsumer::slice(int s, const std::uint8_t* rgba) {
    if (stopped_) return {};
    for (SliceConsumer* consumer : consumers_) {
        WriteResult result = consumer->slice(s, rgba);
        if (!result.ok) return stop(std::move(result));
    }
    return {};
}

WriteResult FanOutConsumer::sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) {
    if (stopped_) return {};
    for (SliceConsumer* consumer : consumers_) {
        WriteResult result = consumer->sliceWithRows(s, rgba, rows);
        if (!result.ok) return stop(std::move(result));
    }
    return {};
}

WriteResult FanOutConsumer::end() {
    if (stopped_) return {};
    WriteResult total;
    for (SliceConsumer* consumer : consumers_) {
        WriteResult result = consumer->end();
        if (!result.ok) {
            result.filesWritten += total.filesWritten;
            return stop(std::move(result));
        }
        total.filesWritten += result.filesWritten;
    }
    return total;
}

void FanOutConsumer::abort() {
    if (stopped_) return;
    stopped_ = true;
    // Only the consumers that were begun: the others have nothing to stop.
    for (std::size_t n = 0; n < begun_; ++n) consumers_[n]->abort();
}

WriteResult FanOutConsumer::stop(WriteResult failure) {
    abort();
    return failure;
}

}  // namespace kubelmar
