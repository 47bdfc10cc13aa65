#include "engine/batch_runner.h"

#include <filesystem>

#include "voxel/batch.h"

namespace kubelmar {

BatchResult runBatch(Engine& engine, const RunSettings& settings, const std::string& directory,
                     const ConsumerFactory& makeConsumer, Progress& progress, std::ostream& report,
                     std::ostream& errors) {
    BatchResult result;
    std::vector<std::string> files;
    std::string error;
    if (!listObjFiles(directory, files, &error)) {
        result.listed = false;
        result.error = "ERROR: Can't list directory " + directory + ": " + error;
        errors << result.error << std::endl;
        return result;
    }
    for (const std::string& file : files) {
        const MeshLoadResult loaded = engine.loadMesh(file);
        writeLoadLog(loaded.log, &engine.log(), &errors);
        if (!loaded.ok) {
            result.failures.push_back(loaded.error);  // names the file
            errors << "ERROR: " << loaded.error << std::endl;
            continue;
        }
        const std::string output = batchOutputDirectory(file);
        std::error_code ec;
        std::filesystem::create_directory(output, ec);
        const std::unique_ptr<SliceConsumer> consumer = makeConsumer(output, file);
        const VoxelizeResult voxelized = engine.voxelize(settings, *consumer, progress);
        if (!voxelized.ok) {
            result.failures.push_back(file + ": " + voxelized.error);
            errors << voxelized.error << std::endl;
            continue;
        }
        ++result.done;
        report << "Voxelized: " << file << " -> " << output << std::endl;
    }
    report << "Batch: " << result.done << " done, " << result.failures.size() << " failed" << std::endl;
    return result;
}

}  // namespace kubelmar
