#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "base/diagnostic.h"
#include "batch/batch_threads.h"
#include "cli/console.h"
#include "engine/engine.h"
#include "engine/run_settings.h"
#include "gl/egl_context.h"

namespace kubelmar {

// Starts GL for `engine` on a new headless context, current on this thread.
// On failure: null, with the reason (no context, or the missing extension)
// in `diagnostics`; GL's warnings go there too.
std::unique_ptr<HeadlessGLContext> startHeadlessGL(Engine& engine, int size, Diagnostics& diagnostics);

// The stdout line of a finished mesh: path, mode, N, files, voxels, seconds.
std::string resultLine(const RunReport& report);

// A batch worker: its own headless context, current on its thread, and its
// own engine. Each mesh's engine console lines reach the console.
class HeadlessWorker final : public BatchWorker {
public:
    // Null with a reason when no context or a required extension is missing.
    static std::unique_ptr<HeadlessWorker> create(const RunRequest& request, Console& console, std::string* error);
    ~HeadlessWorker() override;
    RunReport run(const MeshJob& job) override;

private:
    HeadlessWorker(const RunRequest& request, Console& console) : request_(request), console_(console) {}
    RunRequest request_;
    Console& console_;
    std::unique_ptr<HeadlessGLContext> context_;
    Engine engine_;
    std::ostringstream log_;
};

}  // namespace kubelmar
