#include <filesystem>

#include "voxel/engine.h"
#include "voxel/png_io.h"
#include "voxel/slice_writer.h"

namespace kubelmar {

// The "Depth-Buffer Based" mode: six axis depth pictures, a voxel is filled
// when it lies between the nearest surfaces seen from both sides along all
// three axes, written as an occupancy stack.

VoxelizeResult Engine::saveDepthBuffers(Progress& progress) {
    VoxelizeResult result;
    ProgressStep step(progress, "Saving Depth-Buffers: (Step 1 of 3)", 6);
    step.setValue(0);
    // The pictures are also written for people who use them, when the folder
    // is there; the volume is built from the copies in memory.
    std::error_code ec;
    const bool writeFiles = std::filesystem::is_directory(depthImageDirectory, ec);
    std::vector<std::uint8_t> rgba;
    for (int v = 0; v < 6; ++v) {
        if (v > 0) step.setValue(v);
        renderDepthView(v);
        viewTarget_.bind();
        showDepthTexture();
        readGrey(depthImages[v], writeFiles ? &rgba : nullptr);
        viewTarget_.unbind();
        if (!writeFiles) continue;
        const std::string path = depthImageDirectory + "/" + kDepthViews[v].fileName;
        std::string reason;
        // Saved without alpha, as a grab of the picture gives it.
        if (!writePngRGBA(path, voxelSize, voxelSize, rgba.data(), &reason, false)) {
            VoxelizeResult failed = writeFailure(path, reason);
            failed.filesWritten = result.filesWritten;
            return failed;
        }
        ++result.filesWritten;
    }
    return result;
}

VoxelizeResult Engine::buildVoxelsFromDepthBuffers(Progress& progress) {
    {
        ProgressStep step(progress, "Building Voxels: (Step 2 of 3)", voxelSize);
        buildOccupancy(depthImages, voxels, progress);
    }
    ProgressStep step(progress, "Saving Voxels: (Step 3 of 3)", voxelSize);
    return saveOccupancySlices(voxels, outputDirectory, progress);
}

}  // namespace kubelmar
