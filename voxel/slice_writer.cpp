#include "voxel/slice_writer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "voxel/png_io.h"

namespace kubelmar {

namespace {

WriteResult failure(const std::string& path, const std::string& reason) {
    WriteResult result;
    result.ok = false;
    result.error = "ERROR: Writing File: " + path + ": " + reason;
    std::cout.flush();
    std::cerr << result.error << std::endl;
    return result;
}

template <typename Encode>
WriteResult saveSlices(const VoxelVolume& voxels, const std::string& directory, Progress& progress,
                       Encode encode) {
    const int n = voxels.size();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(n) * n * 4);
    WriteResult result;
    for (int s = 0; s < n; ++s) {
        progress.setValue(s);
        std::uint8_t* out = pixels.data();
        for (int r = 0; r < n; ++r) {
            const std::uint8_t* row = voxels.row(s, r);
            for (int c = 0; c < n; ++c, out += 4) encode(row, c, out);
        }
        const std::string path = sliceFileName(directory, s);
        std::string reason;
        if (!writePngRGBA(path, n, n, pixels.data(), &reason)) {
            WriteResult failed = failure(path, reason);
            failed.filesWritten = result.filesWritten;
            return failed;
        }
        ++result.filesWritten;
    }
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
    if (!file) return failure(path, std::strerror(errno));
    const float v = meshExtent / static_cast<float>(size);
    file << "x " << v << std::endl;
    file << "y " << v << std::endl;
    file << "z " << v << std::endl;
    file.close();
    if (!file) return failure(path, "write failed");
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
