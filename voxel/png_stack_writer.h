#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "volume/slice_consumer.h"

namespace kubelmar {

// directory + "/slice" + (100000 + s) + ".png"; the directory text is used
// as it is (a trailing separator gives a doubled one).
std::string sliceFileName(const std::string& directory, int s);

// "voxelscale.txt": three lines "x v", "y v", "z v" with v = meshExtent / N
// (single precision, six significant digits): a voxel's edge in file units.
WriteResult saveVoxelScale(const std::string& directory, float voxelSize);

// The slice stack: slice s as an N x N RGBA PNG under sliceFileName, and in
// the clipping mode "voxelscale.txt". Slices are encoded and written by
// worker threads (compression is the slow part) while the engine renders the
// next ones; at most a few slices wait at a time, so memory stays bounded.
// After the first failure no new slice is started and slice() reports it.
class PngStackWriter final : public SliceConsumer {
public:
    explicit PngStackWriter(std::string directory);
    ~PngStackWriter() override;
    PngStackWriter(const PngStackWriter&) = delete;
    PngStackWriter& operator=(const PngStackWriter&) = delete;

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override;
    void abort() override;

private:
    struct Job {
        int slice = 0;
        std::vector<std::uint8_t> pixels;
    };
    void work();
    void stopWorkers();
    WriteResult failure() const;

    std::string directory_;
    VolumeInfo info_;
    std::vector<std::thread> workers_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    std::vector<std::vector<std::uint8_t>> spare_;  // buffers to reuse
    std::size_t maxQueued_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    std::string failedPath_, failedReason_;
    int written_ = 0;
};

}  // namespace kubelmar
