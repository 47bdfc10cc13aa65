#include "voxel/png_stack_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "voxel/png_io.h"
#include "voxel/slice_png_encoder.h"

namespace kubelmar {

std::string sliceFileName(const std::string& directory, int s) {
    return directory + "/slice" + std::to_string(100000 + s) + ".png";
}

WriteResult saveVoxelScale(const std::string& directory, float voxelSize) {
    const std::string path = directory + "/voxelscale.txt";
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file) return writeFailure(path, std::generic_category().message(errno));
    file << "x " << voxelSize << std::endl;
    file << "y " << voxelSize << std::endl;
    file << "z " << voxelSize << std::endl;
    file.close();
    if (!file) return writeFailure(path, "write failed");
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

PngStackWriter::PngStackWriter(std::string directory) : directory_(std::move(directory)) {}

PngStackWriter::~PngStackWriter() { stopWorkers(); }

WriteResult PngStackWriter::begin(const VolumeInfo& info) {
    stopWorkers();
    info_ = info;
    queue_.clear();
    closing_ = failed_ = false;
    written_ = 0;
    const int count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    maxQueued_ = 2 * static_cast<std::size_t>(count);
    for (int t = 0; t < count; ++t) workers_.emplace_back([this] { work(); });
    return {};
}

void PngStackWriter::work() {
    const int n = info_.size;
    std::vector<std::uint8_t> png;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
            if (queue_.empty()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
            if (failed_) {
                spare_.push_back(std::move(job.pixels));
                continue;
            }
        }
        std::string reason;
        const std::string path = sliceFileName(directory_, job.slice);
        encodeSlicePng(job.pixels.data(), n, n, png);
        const bool ok = writeFileBytes(path, png.data(), png.size(), &reason);
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(job.pixels));
        if (ok) {
            ++written_;
        } else if (!failed_) {
            failed_ = true;
            failedPath_ = path;
            failedReason_ = reason;
        }
        changed_.notify_all();
    }
}

WriteResult PngStackWriter::failure() const {
    WriteResult result = writeFailure(failedPath_, failedReason_);
    result.filesWritten = written_;
    return result;
}

WriteResult PngStackWriter::slice(int s, const std::uint8_t* rgba) {
    const std::size_t bytes = static_cast<std::size_t>(info_.size) * info_.size * 4;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < maxQueued_ || failed_; });
    if (failed_) return failure();
    std::vector<std::uint8_t> pixels;
    if (!spare_.empty()) {
        pixels = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    pixels.assign(rgba, rgba + bytes);
    lock.lock();
    queue_.push_back({s, std::move(pixels)});
    changed_.notify_all();
    return {};
}

void PngStackWriter::stopWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
    spare_.clear();
}

WriteResult PngStackWriter::end() {
    stopWorkers();
    if (failed_) return failure();
    WriteResult result;
    result.filesWritten = written_;
    if (info_.mode == VoxelMode::Clipping) {
        WriteResult scale = saveVoxelScale(directory_, info_.voxelSize);
        if (!scale.ok) {
            scale.filesWritten += written_;
            return scale;
        }
        ++result.filesWritten;
    }
    return result;
}

void PngStackWriter::abort() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;  // queued slices are dropped
        if (failedPath_.empty()) failedReason_ = "cancelled";
    }
    stopWorkers();
}

}  // namespace kubelmar
