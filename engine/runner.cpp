#include "engine/runner.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/fan_out_consumer.h"

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
        pixels_ = info.slicePixels();
        width_ = info.width();
        return inner_.begin(info);
    }
    WriteResult slice(int s, const std::uint8_t* rgba) override {
        filled_ += countFilledVoxels(rgba, pixels_, encoding_);
        return inner_.slice(s, rgba);
    }
    WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) override {
        filled_ += countFilledVoxels(rgba, width_, rows, encoding_);
        return inner_.sliceWithRows(s, rgba, rows);
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
    int width_ = 0;
    std::uint64_t filled_ = 0;
    int files_ = 0;
};

// Stops a cancelled run: placed first in the fan-out, it fails the next
// slice (or the end) once the progress says cancelled. The engine then
// aborts every consumer and the staged files are removed, so a cancelled
// save leaves its folder as it was.
class CancelGate final : public SliceConsumer {
public:
    explicit CancelGate(const Progress& progress) : progress_(progress) {}
    WriteResult begin(const VolumeInfo&) override { return check(); }
    WriteResult slice(int, const std::uint8_t*) override { return check(); }
    WriteResult end() override { return check(); }
    bool tripped() const { return tripped_; }

private:
    WriteResult check() {
        tripped_ = tripped_ || progress_.cancelled();
        return tripped_ ? runFailure("cancelled by the user") : WriteResult{};
    }
    const Progress& progress_;
    bool tripped_ = false;
};

// Why a volume can come out empty, as far as the run can tell.
Diagnostic emptyVolumeWarning(const Engine& engine, const RunReport& report) {
    std::string why;
    if (engine.mesh().faceCount == 0)
        why = "every face was skipped or degenerate";
    else if (report.mode == VoxelMode::DepthBuffer)
        why = "the mesh may be open (the depth mode fills closed meshes only) or thinner than a voxel";
    else
        why = "the mesh may be thinner than a voxel";
    return warningAbout(report.job.meshPath, "the volume is empty (0 filled voxels at N = " +
                                                 std::to_string(report.size) + "): " + why);
}

// A run's error names the mesh unless it already names one of its files.
Diagnostic namingTheMesh(Diagnostic error, const MeshJob& job) {
    if (error.file.empty()) error.file = job.meshPath;
    return error;
}

}  // namespace

const char* statusName(RunReport::Status status) {
    switch (status) {
        case RunReport::Status::Done: return "done";
        case RunReport::Status::Skipped: return "skipped";
        case RunReport::Status::Cancelled: return "cancelled";
        case RunReport::Status::Failed: break;
    }
    return "failed";
}

void RunReport::fail(Diagnostic error) {
    status = Status::Failed;
    error.severity = Diagnostic::Severity::Error;
    diagnostics.push_back(std::move(error));
}

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

bool loadForRun(Engine& engine, RunReport& report, const LoadLimits& limits, const LoadProgress& progress) {
    const MeshLoadResult loaded = engine.loadMesh(report.job.meshPath, limits, progress);
    writeLoadLog(loaded.log, &engine.log(), &engine.log());
    report.status = RunReport::Status::Failed;
    for (const Diagnostic& d : loaded.diagnostics)
        if (d.severity == Diagnostic::Severity::Warning) report.diagnostics.push_back(d);
    if (!loaded.ok) {
        report.fail(*loaded.error());
        return false;
    }
    if (report.job.outputDirectory.empty()) return true;  // a run that writes no files
    std::error_code ec;
    std::filesystem::create_directories(report.job.outputDirectory, ec);
    if (ec) {
        report.fail(errorAbout(report.job.outputDirectory, "can't create the folder: " + ec.message()));
        return false;
    }
    // The run writes into a hidden folder made inside this one: a folder
    // that can't hold one is found now, before any slicing.
    std::string probe = (std::filesystem::path(report.job.outputDirectory) / ".kubelmar-probe-XXXXXX").string();
    if (::mkdtemp(probe.data()) == nullptr) {
        report.fail(errorAbout(report.job.outputDirectory, std::string("can't write in the folder: ") + std::strerror(errno)));
        return false;
    }
    ::rmdir(probe.c_str());
    return true;
}

void voxelizeLoaded(Engine& engine, const RunRequest& request, RunReport& report, Progress& progress,
                    SliceConsumer* alsoTo) {
    report.status = RunReport::Status::Failed;
    report.mode = request.settings.mode;
    report.topology = engine.topology();
    std::string sizeError;
    if (!edgesChosen(request.settings.grid)) sizeError = engine.checkVoxelSize(request.settings.size);
    if (sizeError.empty()) {
        const GridLayoutResult grid = engine.gridLayout(request.settings);
        sizeError = grid.error;
        report.dims = grid.layout.dims;
        report.size = std::max({report.dims[0], report.dims[1], report.dims[2]});
    }
    if (!sizeError.empty()) {
        report.fail(errorAbout(report.job.meshPath, sizeError));
        return;
    }
    OutputRequest output = request.output;
    output.directory = report.job.outputDirectory;
    output.meshPath = report.job.meshPath;
    RunOutput files(output);
    FanOutConsumer nothing;  // a run without an output folder writes no files
    const bool writeFiles = !report.job.outputDirectory.empty();
    CountingConsumer counted(writeFiles ? static_cast<SliceConsumer&>(files) : nothing);
    VolumePreview::Options previewOptions;
    previewOptions.keepAllSlices = request.keepPreview;  // the Result panel pages through them
    auto preview = std::make_shared<VolumePreview>(previewOptions);
    CancelGate gate(progress);
    FanOutConsumer outputs;
    outputs.add(gate);  // first, so a cancelled slice reaches no file
    outputs.add(counted);
    const bool wantPreview = request.keepPreview || !request.previewPath.empty();
    if (wantPreview) outputs.add(*preview);
    if (alsoTo) outputs.add(*alsoTo);

    PhaseRecorder phases(progress);
    WriteResult result = engine.voxelize(request.settings, outputs, phases, &report.diagnostics);
    report.phases.insert(report.phases.end(), phases.phases().begin(), phases.phases().end());
    if (gate.tripped()) {
        report.status = RunReport::Status::Cancelled;
        return;
    }
    if (result.ok && !request.previewPath.empty()) {
        const WriteResult picture = writePreviewPng(*preview, request.previewPath);
        if (!picture.ok) result = picture;
    }
    if (!result.ok) {
        report.fail(namingTheMesh(result.error, report.job));
        return;
    }
    report.status = RunReport::Status::Done;
    report.filesWritten = counted.files();
    report.filledVoxels = counted.filled();
    for (const std::string& note : files.notes()) report.diagnostics.push_back(warningAbout(report.job.meshPath, note));
    if (report.filledVoxels == 0) report.diagnostics.push_back(emptyVolumeWarning(engine, report));
    if (request.keepPreview && preview->complete()) report.preview = preview;
}

RunReport runMesh(Engine& engine, const RunRequest& request, const MeshJob& job, Progress& progress) {
    const auto start = std::chrono::steady_clock::now();
    RunReport report;
    report.job = job;
    report.mode = request.settings.mode;
    if (loadForRun(engine, report, request.limits)) voxelizeLoaded(engine, request, report, progress);
    report.seconds = secondsSince(start);
    return report;
}

}  // namespace kubelmar
