#include "cli/headless_worker.h"

#include <cstdio>

#include "volume/progress.h"

namespace kubelmar {

std::unique_ptr<HeadlessGLContext> startHeadlessGL(Engine& engine, int size, Diagnostics& diagnostics) {
    std::string why;
    std::unique_ptr<HeadlessGLContext> context = HeadlessGLContext::create(&why);
    if (!context) {
        diagnostics.push_back(errorAbout({}, "no OpenGL context (" + why + ")"));
        return nullptr;
    }
    GLStartResult started = engine.initializeGL(context->resolver(), size, size);
    diagnostics.insert(diagnostics.end(), started.diagnostics.begin(), started.diagnostics.end());
    if (started) return context;
    engine.releaseGL();
    return nullptr;
}

std::string resultLine(const RunReport& report) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, ": mode %s, size %d, %d files, %llu voxels, %.2f s", modeName(report.mode),
                  report.size, report.filesWritten, static_cast<unsigned long long>(report.filledVoxels),
                  report.seconds);
    return "Voxelized " + report.job.meshPath + " into " + report.job.outputDirectory + numbers;
}

std::unique_ptr<HeadlessWorker> HeadlessWorker::create(const RunRequest& request, Console& console,
                                                       std::string* error) {
    std::unique_ptr<HeadlessWorker> worker(new HeadlessWorker(request, console));
    worker->engine_.setLog(&worker->log_);
    Diagnostics diagnostics;
    worker->context_ = startHeadlessGL(worker->engine_, request.settings.size, diagnostics);
    console.engineLines(worker->log_.str());
    worker->log_.str("");
    if (!worker->context_) {
        const Diagnostic* why = firstError(diagnostics);
        *error = why ? why->text() : "OpenGL could not start";
        return nullptr;
    }
    return worker;
}

HeadlessWorker::~HeadlessWorker() {
    if (context_) engine_.releaseGL();
}

RunReport HeadlessWorker::run(const MeshJob& job) {
    NullProgress silent;  // a batch shows its own progress, per file
    RunRequest request = request_;
    if (!request.settings.depthPictureDirectory.empty()) {
        // One folder per mesh, named after its relative path: one shared
        // folder would be overwritten by each.
        std::string& folder = request.settings.depthPictureDirectory;
        folder += '/';
        folder.append(job.relativePath, 0, job.relativePath.rfind('.'));
    }
    RunReport report = runMesh(engine_, request, job, silent);
    console_.engineLines(log_.str());
    log_.str("");
    return report;
}

}  // namespace kubelmar
