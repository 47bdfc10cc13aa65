#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "io/io_result.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// directory + "/" + sliceName(s); the directory text is used as it is (a
// trailing separator gives a doubled one).
std::string sliceFileName(const std::string& directory, int s);
// "slice" + (100000 + s) + ".png": slice s (0 at the bottom of the grid).
std::string sliceName(int s);

inline constexpr std::string_view kVoxelScaleName = "voxelscale.txt";

// The files the stack writes for one volume: its slices and, in the
// clipping mode, voxelscale.txt, in that order.
std::vector<std::string> pngStackFileNames(const VolumeInfo& info);
// Whether `name` is one a stack of any N may have written: slice1NNNNN.png
// or voxelscale.txt. A later run replaces or removes such files.
bool isPngStackFileName(std::string_view name);

// "voxelscale.txt": three lines "x v", "y v", "z v" with v = meshExtent / N
// (single precision, six significant digits): a voxel's edge in file units.
WriteResult saveVoxelScale(const std::string& directory, float voxelSize);
// The same with each axis's edge on its line ("%g" of the single-precision
// value).
WriteResult saveVoxelScale(const std::string& directory, const std::array<float, 3>& edges);
// The file for a volume: the cube's voxelSize on all three lines; on any
// other grid the edge along x, y and z in output units (file units times
// the scale).
WriteResult saveVoxelScale(const std::string& directory, const VolumeInfo& info);

// The slice stack: slice s as a W x H RGBA PNG under sliceFileName, and in
// the clipping mode "voxelscale.txt". Slices are encoded and written by
// worker threads (compression is the slow part) while the engine renders the
// next ones; at most a few slices wait at a time, so memory stays bounded.
// After the first failure no new slice is started; slice() and end() report
// the failure of the lowest slice that failed, once the slices already being
// written are done, so the same faults give the same report every time.
// Files go in place: the writer is meant for an OutputStage folder.
class PngStackWriter final : public SliceConsumer {
public:
    explicit PngStackWriter(std::string directory);
    ~PngStackWriter() override;
    PngStackWriter(const PngStackWriter&) = delete;
    PngStackWriter& operator=(const PngStackWriter&) = delete;

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    // Copies only the rows' spans (the job's buffer keeps the empty pixel
    // elsewhere); the encoder reads little beyond them.
    WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) override;
    WriteResult end() override;
    void abort() override;

private:
    struct Job {
        int slice = 0;
        std::vector<std::uint8_t> pixels;
        SliceRows rows;         // the spans copied into pixels, outside which it holds the empty pixel
        bool spansKnown = false;  // false: pixels is a whole slice as given
    };
    // Queues a slice once `fill` has copied it into a job's buffers.
    template <typename Fill>
    WriteResult queue(int s, Fill fill);
    // The lowest failed slice so far.
    struct Failure {
        int slice = std::numeric_limits<int>::max();
        std::string path, reason;
        void note(int slice, const IoResult& result);
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
    std::vector<Job> spare_;  // buffers to reuse
    std::size_t maxQueued_ = 0;
    bool closing_ = false;
    bool stopping_ = false;  // a slice failed or the run was aborted: queued slices are dropped
    int busy_ = 0;           // slices being encoded or written
    Failure failure_;
    int written_ = 0;
};

}  // namespace kubelmar
