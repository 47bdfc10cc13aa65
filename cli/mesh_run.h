#pragma once

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "engine/batch_runner.h"
#include "engine/engine.h"
#include "formats/run_output.h"
#include "gl/egl_context.h"

namespace kubelmar {

// What every mesh of one invocation is voxelized with.
struct RunPlan {
    RunSettings settings;
    OutputRequest output;  // directory and meshPath are filled in per mesh
    // A batch's --depth-images: each mesh's pictures go to a folder named
    // after its relative path under here (one folder would be overwritten).
    std::string depthImagesRoot;
    std::string previewPath;  // --preview, one mesh only
};

// One step's wall time, in seconds.
struct PhaseTime {
    std::string label;
    double seconds = 0.0;
};

// Passes progress on and records how long each step took (for --report).
class PhaseRecorder final : public Progress {
public:
    explicit PhaseRecorder(Progress& inner) : inner_(inner) {}
    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override { inner_.setValue(value); }
    void end() override;
    void add(const std::string& label, double seconds) { phases_.push_back({label, seconds}); }
    const std::vector<PhaseTime>& phases() const { return phases_; }

private:
    Progress& inner_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    std::vector<PhaseTime> phases_;
};

double secondsSince(std::chrono::steady_clock::time_point start);

// Loads outcome.item.meshPath into `engine` and creates its output folder.
// False with outcome failed (one line naming the file) when either fails;
// the load's warnings go into outcome.warnings either way.
bool loadForRun(Engine& engine, FileOutcome& outcome, Console& console);

// Voxelizes the loaded mesh into outcome.item.outputDirectory and fills in
// the outcome (status, N, files written there, filled voxels, warnings).
// The engine's console lines since the last call go from `log` to the
// console.
void voxelizeLoaded(Engine& engine, const RunPlan& plan, FileOutcome& outcome, Progress& progress,
                    std::ostringstream& log, Console& console);

// The stdout line of a finished mesh: path, mode, N, files, voxels, seconds.
std::string resultLine(const FileOutcome& outcome, VoxelMode mode);


// A batch worker: its own headless context, current on its thread, and its
// own engine.
class CliWorker final : public BatchWorker {
public:
    // Null with a reason when no context or a required extension is missing.
    static std::unique_ptr<CliWorker> create(const RunPlan& plan, Console& console, std::string* error);
    ~CliWorker() override;
    FileOutcome run(const BatchItem& item) override;

private:
    CliWorker(const RunPlan& plan, Console& console) : plan_(plan), console_(console) {}
    const RunPlan& plan_;
    Console& console_;
    std::unique_ptr<HeadlessGLContext> context_;
    Engine engine_;
    std::ostringstream log_;
};

// Starts GL for `engine` on a new context current on this thread. On
// failure: null, and `error` holds the one line to show (the engine's
// first ERROR line for a missing extension).
std::unique_ptr<HeadlessGLContext> startGL(Engine& engine, int size, std::ostringstream& log, Console& console,
                                           std::string* error);

}  // namespace kubelmar
