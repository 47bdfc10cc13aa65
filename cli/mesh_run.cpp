#include "cli/mesh_run.h"

#include "formats/fan_out_consumer.h"
#include "formats/preview_volume.h"

#include <cstdio>
#include <filesystem>

#include "voxel/batch.h"

namespace kubelmar {

namespace {

// Passes the stack on and counts its filled voxels and the files the output
// itself wrote (the engine's own count adds the depth pictures, which live
// outside the output folder).
class CountingConsumer final : public SliceConsumer {
public:
    explicit CountingConsumer(SliceConsumer& inner) : inner_(inner) {}
    WriteResult begin(const VolumeInfo& info) override {
        encoding_ = info.encoding;
        pixels_ = static_cast<std::size_t>(info.size) * static_cast<std::size_t>(info.size);
        return inner_.begin(info);
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        filled_ += countFilledVoxels(rgba, pixels_, encoding_);
        return inner_.slice(s, rgba);
    }
    WriteResult end() override {
        const WriteResult result = inner_.end();
        files_ = result.filesWritten;
        return result;
    }
    void abort() override { inner_.abort(); }
    std::uint64_t filled() const { return filled_; }
    int files() const { return files_; }

private:
    SliceConsumer& inner_;
    SliceEncoding encoding_ = SliceEncoding::Colour;
    std::size_t pixels_ = 0;
    std::uint64_t filled_ = 0;
    int files_ = 0;
};

// Why a volume can come out empty, as far as the run can tell.
std::string emptyVolumeWarning(const Engine& engine, const FileOutcome& outcome, VoxelMode mode) {
    std::string why;
    if (engine.mesh().faceCount == 0)
        why = "every face was skipped";
    else if (mode == VoxelMode::DepthBuffer)
        why = "the mesh may be open (the depth mode fills closed meshes only) or thinner than a voxel";
    else
        why = "the mesh may be thinner than a voxel";
    return outcome.item.meshPath + ": the volume is empty (0 filled voxels at N = " + std::to_string(outcome.size) +
           "): " + why;
}

// The engine's message without its "ERROR: ", naming the mesh unless it
// already names the mesh or a file of the output.
std::string namingTheFile(const std::string& error, const BatchItem& item) {
    const std::string text = error.rfind("ERROR: ", 0) == 0 ? error.substr(7) : error;
    const bool named = text.find(item.meshPath) != std::string::npos ||
                       text.find(item.outputDirectory) != std::string::npos;
    return named ? text : item.meshPath + ": " + text;
}

}  // namespace

void PhaseRecorder::begin(const std::string& label, int maximum) {
    label_ = label;
    start_ = std::chrono::steady_clock::now();
    inner_.begin(label, maximum);
}

void PhaseRecorder::end() {
    inner_.end();
    add(label_, secondsSince(start_));
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool loadForRun(Engine& engine, FileOutcome& outcome, Console& console) {
    const MeshLoadResult loaded = engine.loadMesh(outcome.item.meshPath);
    console.loadLog(loaded.log);
    outcome.warnings = loaded.warningTexts();
    outcome.status = FileOutcome::Status::Failed;
    if (!loaded.ok) {
        outcome.error = loaded.errorText();  // names the file
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(outcome.item.outputDirectory, ec);
    if (ec) {
        outcome.error = "can't create " + outcome.item.outputDirectory + ": " + ec.message();
        return false;
    }
    return true;
}

void voxelizeLoaded(Engine& engine, const RunPlan& plan, FileOutcome& outcome, Progress& progress,
                    std::ostringstream& log, Console& console) {
    outcome.status = FileOutcome::Status::Failed;
    std::string sizeError;
    outcome.size = engine.resolveSize(plan.settings, &sizeError).size;
    if (sizeError.empty()) sizeError = engine.checkVoxelSize(outcome.size);
    if (!sizeError.empty()) {
        outcome.error = namingTheFile(sizeError, outcome.item);
        return;
    }
    OutputRequest request = plan.output;
    request.directory = outcome.item.outputDirectory;
    request.meshPath = outcome.item.meshPath;
    RunSettings settings = plan.settings;
    if (!plan.depthImagesRoot.empty()) {
        const std::string stem = batchOutputDirectory("/" + outcome.item.relativePath);
        settings.depthPictureDirectory = (std::filesystem::path(plan.depthImagesRoot) / stem.substr(1)).string();
        std::error_code ec;
        std::filesystem::create_directories(settings.depthPictureDirectory, ec);
        if (ec) {
            outcome.error = "can't create " + settings.depthPictureDirectory + ": " + ec.message();
            return;
        }
    }
    RunOutput files(request);
    CountingConsumer counted(files);
    VolumePreview::Options previewOptions;
    previewOptions.keepAllSlices = false;
    VolumePreview preview(previewOptions);
    FanOutConsumer withPreview;
    withPreview.add(counted);
    if (!plan.previewPath.empty()) withPreview.add(preview);
    VoxelizeResult result = engine.voxelize(settings, withPreview, progress);
    if (result.ok && !plan.previewPath.empty()) {
        const WriteResult picture = writePreviewPng(preview, plan.previewPath);
        if (!picture.ok) result = {false, picture.error, result.filesWritten};
    }
    console.engineLines(log.str());
    log.str("");
    if (!result.ok) {
        outcome.error = namingTheFile(result.error.text(), outcome.item);
        return;
    }
    outcome.status = FileOutcome::Status::Done;
    outcome.filesWritten = counted.files();
    outcome.filledVoxels = counted.filled();
    for (const std::string& note : files.notes()) outcome.warnings.push_back(note);
    if (outcome.filledVoxels == 0) outcome.warnings.push_back(emptyVolumeWarning(engine, outcome, plan.settings.mode));
}

std::string resultLine(const FileOutcome& outcome, VoxelMode mode) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, ": mode %s, size %d, %d files, %llu voxels, %.2f s", modeName(mode),
                  outcome.size, outcome.filesWritten, static_cast<unsigned long long>(outcome.filledVoxels),
                  outcome.seconds);
    return "Voxelized " + outcome.item.meshPath + " into " + outcome.item.outputDirectory + numbers;
}

std::unique_ptr<HeadlessGLContext> startGL(Engine& engine, int size, std::ostringstream& log, Console& console,
                                           std::string* error) {
    std::string why;
    std::unique_ptr<HeadlessGLContext> context = HeadlessGLContext::create(&why);
    if (!context) {
        *error = "no OpenGL context (" + why + ")";
        return nullptr;
    }
    const bool ready = engine.initializeGL(context->resolver(), size, size);
    console.engineLines(log.str());
    const std::string lines = log.str();
    log.str("");
    if (ready) return context;
    engine.releaseGL();
    // The engine's first ERROR line names what is missing.
    const auto at = lines.find("ERROR: ");
    *error = at == std::string::npos ? "OpenGL lacks a required extension"
                                     : lines.substr(at + 7, lines.find('\n', at) - at - 7);
    return nullptr;
}

std::unique_ptr<CliWorker> CliWorker::create(const RunPlan& plan, Console& console, std::string* error) {
    std::unique_ptr<CliWorker> worker(new CliWorker(plan, console));
    worker->engine_.setLog(&worker->log_);
    worker->context_ = startGL(worker->engine_, plan.settings.size, worker->log_, console, error);
    if (!worker->context_) return nullptr;
    return worker;
}

CliWorker::~CliWorker() {
    if (context_) engine_.releaseGL();
}

FileOutcome CliWorker::run(const BatchItem& item) {
    const auto start = std::chrono::steady_clock::now();
    FileOutcome outcome;
    outcome.item = item;
    NullProgress silent;  // a batch shows its own progress, per file
    if (loadForRun(engine_, outcome, console_)) voxelizeLoaded(engine_, plan_, outcome, silent, log_, console_);
    outcome.seconds = secondsSince(start);
    return outcome;
}

}  // namespace kubelmar
