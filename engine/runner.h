#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/diagnostic.h"
#include "engine/engine.h"
#include "engine/run_settings.h"
#include "formats/preview_volume.h"
#include "formats/run_output.h"
#include "volume/progress.h"

namespace kubelmar {


// One mesh to voxelize and where its volume goes.
struct MeshJob {
    std::string meshPath;         // as given, or absolute in a batch
    std::string relativePath;     // against a batch folder, '/'-separated; the mesh path in single runs
    std::string outputDirectory;  // where the volume goes
};

// One step's wall time, in seconds.
struct PhaseTime {
    std::string label;
    double seconds = 0.0;
};

// How one mesh's run ended: one value for the front ends to show, the
// batch summaries to record and the worker processes to send back.
struct RunReport {
    enum class Status { Done, Failed, Skipped, Cancelled };
    Status status = Status::Failed;
    MeshJob job;
    VoxelMode mode = VoxelMode::Clipping;
    int size = 0;          // N actually used: the grid's largest side in voxels
    std::array<int, 3> dims = {0, 0, 0};  // the grid's voxels along x, y, z
    int filesWritten = 0;  // into job.outputDirectory only
    std::uint64_t filledVoxels = 0;
    // The mesh's edges and shells, once it is loaded (not sent back by
    // batch worker processes).
    MeshTopology topology;
    double seconds = 0.0;  // wall time of load and voxelization
    std::vector<PhaseTime> phases;
    // The load's and the run's warnings, then the error of a failed run.
    Diagnostics diagnostics;
    // The streamed preview of a finished run, when asked for.
    std::shared_ptr<const VolumePreview> preview;

    bool done() const { return status == Status::Done; }
    const Diagnostic* error() const { return firstError(diagnostics); }
    std::string errorText() const { return error() ? error()->text() : std::string(); }
    std::vector<std::string> warningTexts() const { return texts(diagnostics, Diagnostic::Severity::Warning); }
    void fail(Diagnostic error);
};

const char* statusName(RunReport::Status status);

// Loads report.job.meshPath into `engine` (no GL needed) and creates its
// output folder (none when job.outputDirectory is empty). False, with the
// error in the report, when either fails;
// the load's warnings go into the report either way. The load's console
// lines go to the engine's log.
bool loadForRun(Engine& engine, RunReport& report, const LoadLimits& limits = {}, const LoadProgress& progress = {});

// Voxelizes the loaded mesh into report.job.outputDirectory with the
// request and fills in the report: status, N, files, filled voxels, the
// phases, warnings (an empty volume among them) and the preview. The
// engine's GL context must be current. A run whose progress says
// cancelled() stops after the slab or slice it is on and leaves the output
// folder as it was (status Cancelled). An empty job.outputDirectory writes
// no files (loadForRun then creates no folder). `alsoTo`, when given, is
// streamed the volume after the files (e.g. a front end's own in-memory
// copy); its failure fails the run like a file's.
void voxelizeLoaded(Engine& engine, const RunRequest& request, RunReport& report, Progress& progress,
                    SliceConsumer* alsoTo = nullptr);

// Both, timed: the whole run of one mesh on a ready engine.
RunReport runMesh(Engine& engine, const RunRequest& request, const MeshJob& job, Progress& progress);

// Passes progress on and records how long each step took.
class PhaseRecorder final : public Progress {
public:
    explicit PhaseRecorder(Progress& inner) : inner_(inner) {}
    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override { inner_.setValue(value); }
    void end() override;
    bool cancelled() const override { return inner_.cancelled(); }
    void add(const std::string& label, double seconds) { phases_.push_back({label, seconds}); }
    const std::vector<PhaseTime>& phases() const { return phases_; }

private:
    Progress& inner_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    std::vector<PhaseTime> phases_;
};

double secondsSince(std::chrono::steady_clock::time_point start);

}  // namespace kubelmar
