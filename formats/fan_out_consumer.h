#pragma once

#include <memory>
#include <vector>

#include "volume/slice_consumer.h"

namespace kubelmar {

// Forwards the volume to several consumers in the order they were added.
// The first failure stops it: every consumer begun is aborted, the failure is
// returned, and later calls do nothing until the next begin().
// end() sums the files the consumers wrote.
class FanOutConsumer : public SliceConsumer {
public:
    // A consumer the fan-out owns, or one the caller keeps alive (e.g. the
    // PNG stack writer) for as long as the fan-out is used.
    void add(std::unique_ptr<SliceConsumer> consumer);
    void add(SliceConsumer& consumer);
    bool empty() const { return consumers_.empty(); }

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) override;
    WriteResult end() override;
    void abort() override;

private:
    WriteResult stop(WriteResult failure);

    std::vector<std::unique_ptr<SliceConsumer>> owned_;
    std::vector<SliceConsumer*> consumers_;
    bool stopped_ = false;
    std::size_t begun_ = 0;  // consumers begin() was called on
};

}  // namespace kubelmar
