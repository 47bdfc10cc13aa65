// kubelmar-cli: the voxelizer with no display, on a headless EGL context.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <streambuf>

#include "cli/cli_options.h"
#include "cli/step_timer.h"
#include "cli/terminal_progress.h"
#include "gl/egl_context.h"
#include "engine/batch_runner.h"
#include "engine/engine.h"
#include "formats/run_output.h"

namespace {

using namespace kubelmar;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int fail(const std::string& message) {
    std::cout.flush();
    std::cerr << "kubelmar-cli: " << message << std::endl;
    return kExitFailure;
}

// A missing GL extension: its lines are printed; wait for a key only where
// someone can press one.
int missingExtension() {
    if (isatty(STDIN_FILENO)) {
        std::cerr << "Press Enter to continue..." << std::flush;
        std::getchar();
    }
    return kExitFailure;
}

const char* modeName(int mode) { return mode == kModeDepthBuffer ? "depth" : "clipping"; }

int run(const CliOptions& options) {
    Engine engine;
    // The console lines (extension report, grid lines) go to stdout unless
    // --quiet asks for errors only.
    if (!options.quiet) engine.setLog(&std::cout);
    NullProgress silent;
    std::string error;
    RunSettings settings;
    settings.mode = options.mode;
    settings.size = options.size;
    settings.depthPrecision = options.fullDepthPrecision ? DepthPrecision::Full : DepthPrecision::Byte;
    settings.voxelEdge = options.voxelEdge;
    settings.colour = options.colour;
    OutputRequest output;
    output.formats = parseFormatList(options.formats).formats;
    output.crop = options.crop;
    output.programVersion = KUBELMAR_VERSION;
    auto makeOutput = [&](const std::string& directory, const std::string& meshPath) {
        OutputRequest request = output;
        request.directory = directory;
        request.meshPath = meshPath;
        return std::make_unique<RunOutput>(request);
    };

    TerminalProgress bar(stderr);
    Progress& shown = options.quiet ? static_cast<Progress&>(silent) : bar;
    StepTimer timer(shown, stderr);
    Progress& progress = options.timings ? static_cast<Progress&>(timer) : shown;

    if (options.command == CliOptions::Command::Voxelize) {
        const auto loadStart = std::chrono::steady_clock::now();
        const MeshLoadResult loaded = engine.loadMesh(options.input);
        writeLoadLog(loaded.log, options.quiet ? nullptr : &std::cout, &std::cerr);
        if (options.timings)
            timer.report("Loading mesh", std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count());
        if (!loaded.ok) return fail(loaded.error);
        std::error_code ec;
        std::filesystem::create_directories(options.output, ec);
        if (ec) return fail("can't create " + options.output + ": " + ec.message());
    }

    const auto glStart = std::chrono::steady_clock::now();
    std::unique_ptr<HeadlessGLContext> context = HeadlessGLContext::create(&error);
    if (!context) return fail("no OpenGL context (" + error + ")");
    if (!engine.initializeGL(context->resolver(), options.size, options.size)) {
        engine.releaseGL();
        return missingExtension();
    }
    if (const std::string why = engine.checkVoxelSize(options.size); !why.empty()) {
        engine.releaseGL();
        return fail(why);
    }
    if (options.timings) {
        timer.report("Starting OpenGL", std::chrono::duration<double>(std::chrono::steady_clock::now() - glStart).count());
        std::fprintf(stderr, "renderer: %s\n", context->description().c_str());
    }

    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    if (options.command == CliOptions::Command::Batch) {
        const ConsumerFactory outputs = [&](const std::string& directory, const std::string& meshPath) {
            return std::unique_ptr<SliceConsumer>(makeOutput(directory, meshPath));
        };
        const BatchResult batch =
            runBatch(engine, settings, options.batchDir, outputs, progress, std::cout, std::cerr);
        status = (!batch.listed || !batch.failures.empty()) ? kExitFailure : 0;
    } else {
        const std::unique_ptr<RunOutput> files = makeOutput(options.output, options.input);
        const VoxelizeResult result = engine.voxelize(settings, *files, progress);
        if (result.ok && !options.quiet)
            for (const std::string& note : files->notes()) std::fprintf(stderr, "%s\n", note.c_str());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!result.ok) {
            status = kExitFailure;
            std::cout.flush();
            std::cerr << result.error << std::endl;
        } else if (!options.quiet) {
            std::fprintf(stderr, "Voxelized %s: mode %s, size %d, %d files in %s, %.2f s\n",
                         options.input.c_str(), modeName(options.mode), engine.resolveSize(settings, nullptr).size,
                         result.filesWritten, options.output.c_str(), seconds);
        }
    }
    engine.releaseGL();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!parseCliOptions(argc, argv, options, &error)) {
        std::cerr << "kubelmar-cli: " << error << "\n" << cliUsage();
        return kExitUsage;
    }
    if (options.command == CliOptions::Command::Help) {
        std::cout << cliUsage();
        return 0;
    }
    if (options.command == CliOptions::Command::Version) {
        std::cout << "kubelmar-cli " << KUBELMAR_VERSION << std::endl;
        return 0;
    }
    return run(options);
}
