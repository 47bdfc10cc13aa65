#include "engine/batch_runner.h"

#include <filesystem>

#include "voxel/batch.h"

namespace kubelmar {

BatchResult runBatch(Engine& engine, const RunSettings& settings, const std::string& directory,
                     const ConsumerFactory& makeConsumer, Progress& progress, std::ostream& report,
                     std::ostream& errors) {
    BatchResult result;
    std::vector<std::string> files;
    std::vector<UnreadableEntry> unreadable;
    std::string error;
    if (!listObjFiles(directory, files, unreadable, &error)) {
        result.listed = false;
        result.error = "ERROR: Can't list directory " + directory + ": " + error;
        errors << result.error << std::endl;
        return result;
    }
    // A dangling link or a link loop named like a mesh is a file that failed.
    for (const UnreadableEntry& entry : unreadable) {
        result.failures.push_back(entry.path + ": " + entry.reason);
        errors << "ERROR: " << entry.path << ": " << entry.reason << std::endl;
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
