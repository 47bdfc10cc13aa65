#include "voxel/slice_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "voxel/png_io.h"

namespace kubelmar {

namespace {

// Slices are encoded and written by worker threads (PNG compression is the
// slow part); progress is reported from the calling thread only, which may be
// a GUI thread, as slices complete. After a failure no new slice is started.
template <typename Encode>
WriteResult saveSlices(const VoxelVolume& voxels, const std::string& directory, Progress& progress,
                       Encode encode) {
    const int n = voxels.size();
    const int workers = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    int finished = 0;  // slices written or failed, under mutex
    int written = 0;
    int running = workers;  // worker threads not yet done, under mutex
    int firstFailed = n;
    std::string firstReason;

    auto work = [&] {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(n) * n * 4);
        for (int s = next++; s < n && !stop; s = next++) {
            std::uint8_t* out = pixels.data();
            for (int r = 0; r < n; ++r) {
                const std::uint8_t* row = voxels.row(s, r);
                for (int c = 0; c < n; ++c, out += 4) encode(row, c, out);
            }
            std::string reason;
            const bool ok = writePngRGBA(sliceFileName(directory, s), n, n, pixels.data(), &reason);
            std::lock_guard<std::mutex> lock(mutex);
            ++finished;
            if (ok) ++written;
            if (!ok) {
                stop = true;
                if (s < firstFailed) {
                    firstFailed = s;
                    firstReason = reason;
                }
            }
            changed.notify_one();
        }
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_one();
    };

    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t) threads.emplace_back(work);
    {
        std::unique_lock<std::mutex> lock(mutex);
        int reported = -1;
        while (true) {
            const bool done = running == 0;
            if (finished != reported) {
                reported = finished;
                lock.unlock();
                progress.setValue(reported);
                lock.lock();
            }
            if (done) break;
            changed.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    for (std::thread& t : threads) t.join();

    if (firstFailed < n) {
        WriteResult failed = writeFailure(sliceFileName(directory, firstFailed), firstReason);
        failed.filesWritten = written;
        return failed;
    }
    WriteResult result;
    result.filesWritten = n;
    return result;
}

}  // namespace

std::string sliceFileName(const std::string& directory, int s) {
    return directory + "/slice" + std::to_string(100000 + s) + ".png";
}

WriteResult saveColorSlices(const VoxelVolume& voxels, const std::string& directory,
                            Progress& progress) {
    return saveSlices(voxels, directory, progress,
                      [](const std::uint8_t* row, int c, std::uint8_t* out) {
                          out[0] = row[3 * c];
                          out[1] = row[3 * c + 1];
                          out[2] = row[3 * c + 2];
                          out[3] = 255;
                      });
}

WriteResult saveOccupancySlices(const VoxelVolume& voxels, const std::string& directory,
                                Progress& progress) {
    return saveSlices(voxels, directory, progress,
                      [](const std::uint8_t* row, int c, std::uint8_t* out) {
                          const std::uint8_t v = row[c] == 255 ? 255 : 0;
                          out[0] = out[1] = out[2] = out[3] = v;
                      });
}

WriteResult saveVoxelScale(const std::string& directory, float meshExtent, int size) {
    const std::string path = directory + "/voxelscale.txt";
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file) return writeFailure(path, std::strerror(errno));
    const float v = meshExtent / static_cast<float>(size);
    file << "x " << v << std::endl;
    file << "y " << v << std::endl;
    file << "z " << v << std::endl;
    file.close();
    if (!file) return writeFailure(path, "write failed");
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
