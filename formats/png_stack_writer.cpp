#include "formats/png_stack_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <cstring>

#include "formats/slice_png_encoder.h"
#include "io/checked_file.h"

namespace kubelmar {

std::string sliceFileName(const std::string& directory, int s) {
    return directory + "/" + sliceName(s);
}

std::string sliceName(int s) { return "slice" + std::to_string(100000 + s) + ".png"; }

std::vector<std::string> pngStackFileNames(const VolumeInfo& info) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(std::max(info.slices(), 0)) + 1);
    for (int s = 0; s < info.slices(); ++s) names.push_back(sliceName(s));
    if (info.mode == VoxelMode::Clipping) names.push_back(std::string(kVoxelScaleName));
    return names;
}

bool isPngStackFileName(std::string_view name) {
    if (name == kVoxelScaleName) return true;
    // slice1NNNNN.png: the slice number 100000 + z, five digits after the 1.
    return name.size() == 15 && name.substr(0, 6) == "slice1" && name.substr(11) == ".png" &&
           std::all_of(name.begin() + 6, name.begin() + 11, [](char c) { return c >= '0' && c <= '9'; });
}

WriteResult saveVoxelScale(const std::string& directory, float voxelSize) {
    return saveVoxelScale(directory, std::array<float, 3>{voxelSize, voxelSize, voxelSize});
}

WriteResult saveVoxelScale(const std::string& directory, const VolumeInfo& info) {
    // The cube keeps its single-precision edge on all three lines; other
    // grids give each axis its own edge.
    if (info.voxelSize > 0 && info.cubicVoxels()) return saveVoxelScale(directory, info.voxelSize);
    return saveVoxelScale(directory, std::array<float, 3>{static_cast<float>(info.edge[0]),
                                                          static_cast<float>(info.edge[1]),
                                                          static_cast<float>(info.edge[2])});
}

WriteResult saveVoxelScale(const std::string& directory, const std::array<float, 3>& edges) {
    const std::string path = directory + "/" + std::string(kVoxelScaleName);
    // "%g" gives the six significant digits a default stream gives.
    char line[64];
    std::string text;
    const char* axes[3] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a) {
        std::snprintf(line, sizeof line, "%s %g\n", axes[a], static_cast<double>(edges[a]));
        text += line;
    }
    if (const IoResult written = writeWholeFile(path, text); !written.ok)
        return writeFailure(written.path, written.reason);
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
    closing_ = stopping_ = false;
    busy_ = 0;
    failure_ = {};
    written_ = 0;
    const int count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    maxQueued_ = 2 * static_cast<std::size_t>(count);
    for (int t = 0; t < count; ++t) workers_.emplace_back([this] { work(); });
    return {};
}

void PngStackWriter::work() {
    const int width = info_.width(), height = info_.height();
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
            if (stopping_) {
                spare_.push_back(std::move(job));
                continue;
            }
            ++busy_;
        }
        const std::string path = sliceFileName(directory_, job.slice);
        KnownRows known;
        if (job.spansKnown) {
            known.rows = &job.rows;
            known.pixel = emptyVoxelPixel(info_.encoding);
        }
        encodeSlicePng(job.pixels.data(), width, height, known, png);
        // The whole file is in memory: no buffer to copy it through.
        const IoResult written = writeWholeFile(path, png.data(), png.size());
        std::lock_guard<std::mutex> lock(mutex_);
        --busy_;
        spare_.push_back(std::move(job));
        if (written.ok) {
            ++written_;
        } else {
            stopping_ = true;
            failure_.note(job.slice, written);
        }
        changed_.notify_all();
    }
}

void PngStackWriter::Failure::note(int slice, const IoResult& result) {
    if (slice >= this->slice) return;
    this->slice = slice;
    path = result.path;
    reason = result.reason;
}

WriteResult PngStackWriter::failure() const {
    WriteResult result = writeFailure(failure_.path, failure_.reason);
    result.filesWritten = written_;
    return result;
}

WriteResult PngStackWriter::slice(int s, const std::uint8_t* rgba) {
    const std::size_t bytes = info_.slicePixels() * 4;
    return queue(s, [&](Job& job) {
        job.pixels.assign(rgba, rgba + bytes);
        job.spansKnown = false;
    });
}

WriteResult PngStackWriter::sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) {
    const std::size_t width = static_cast<std::size_t>(info_.width());
    const int height = info_.height();
    assert(rows.height() == height);
    return queue(s, [&](Job& job) {
        const std::array<std::uint8_t, 4> empty = emptyVoxelPixel(info_.encoding);
        auto fill = [&](std::size_t first, std::size_t count) {
            std::uint8_t* at = job.pixels.data() + 4 * first;
            for (std::size_t p = 0; p < count; ++p) std::memcpy(at + 4 * p, empty.data(), 4);
        };
        // A buffer that held a whole slice, or none, is filled with the empty
        // pixel; one that held spans is cleared where they were.
        const std::size_t pixels = width * static_cast<std::size_t>(height);
        if (!job.spansKnown || job.rows.height() != height || job.pixels.size() != 4 * pixels) {
            job.pixels.resize(4 * pixels);
            fill(0, pixels);
        } else {
            for (int r = 0; r < height; ++r)
                if (!job.rows.empty(r))
                    fill(r * width + static_cast<std::size_t>(job.rows.first(r)),
                         static_cast<std::size_t>(job.rows.end(r) - job.rows.first(r)));
        }
        for (int r = 0; r < height; ++r) {
            if (rows.empty(r)) continue;
            const std::size_t at = 4 * (r * width + static_cast<std::size_t>(rows.first(r)));
            std::memcpy(job.pixels.data() + at, rgba + at, 4 * static_cast<std::size_t>(rows.end(r) - rows.first(r)));
        }
        job.rows = rows;
        job.spansKnown = true;
    });
}

template <typename Fill>
WriteResult PngStackWriter::queue(int s, Fill fill) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < maxQueued_ || stopping_; });
    if (stopping_) {
        // Slices still being written may fail too; the lowest one's failure
        // is the one reported, whichever thread got there first.
        changed_.wait(lock, [&] { return busy_ == 0; });
        return failure();
    }
    Job job;
    if (!spare_.empty()) {
        job = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    job.slice = s;
    fill(job);
    lock.lock();
    queue_.push_back(std::move(job));
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
    if (stopping_) return failure();
    WriteResult result;
    result.filesWritten = written_;
    if (info_.mode == VoxelMode::Clipping) {
        WriteResult scale = saveVoxelScale(directory_, info_);
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
        stopping_ = true;  // queued slices are dropped
        if (failure_.path.empty()) failure_.reason = "cancelled";
    }
    stopWorkers();
}

}  // namespace kubelmar
