// kubelmar-cli: the voxelizer with no display, on headless EGL contexts.
// Results go to stdout, progress and diagnostics to stderr.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cli/batch_summary.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/mesh_run.h"
#include "cli/run_report.h"
#include "cli/step_timer.h"
#include "cli/terminal_progress.h"
#include "engine/batch_processes.h"
#include "voxel/batch.h"

namespace {

using namespace kubelmar;
namespace fs = std::filesystem;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

RunPlan makePlan(const CliOptions& options) {
    RunPlan plan;
    RunSettings& settings = plan.settings;
    settings.mode = options.mode;
    settings.size = options.size;
    settings.depthPrecision = options.fullDepthPrecision ? DepthPrecision::Full : DepthPrecision::Byte;
    settings.voxelEdge = options.voxelEdge;
    settings.colour = options.colour;
    settings.parityVotes = options.parityVotes;
    settings.depthPictureDirectory.clear();  // only where --depth-images asks
    plan.output.formats = parseFormatList(options.formats).formats;
    plan.output.crop = options.crop;
    plan.output.programVersion = KUBELMAR_VERSION;
    plan.previewPath = options.preview;
    return plan;
}

// Creates a folder the run will need; false after reporting why not.
bool makeFolder(const std::string& path, Console& console) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) console.error("can't create " + path + ": " + ec.message());
    return !ec;
}

int runOne(const CliOptions& options) {
    Console console(options.quiet, options.verbose);
    RunPlan plan = makePlan(options);
    if (!options.depthImages.empty()) {
        if (!makeFolder(options.depthImages, console)) return kExitFailure;
        plan.settings.depthPictureDirectory = options.depthImages;
    }
    TerminalProgress bar(stderr);
    NullProgress silent;
    Progress& shown = options.quiet ? static_cast<Progress&>(silent) : bar;
    StepTimer timer(shown, stderr);
    PhaseRecorder phases(options.timings ? static_cast<Progress&>(timer) : shown);

    RunReport report;
    report.options = &options;
    FileOutcome& outcome = report.outcome;
    outcome.item = {options.input, options.input, options.output};
    Engine engine;
    std::ostringstream log;
    engine.setLog(&log);
    const auto start = std::chrono::steady_clock::now();

    // The mesh and the output folder are checked before any GL is started.
    bool ok = loadForRun(engine, outcome, console);
    phases.add("Loading mesh", secondsSince(start));
    if (options.timings) timer.report("Loading mesh", phases.phases().back().seconds);
    std::unique_ptr<HeadlessGLContext> context;
    if (ok) {
        const auto glStart = std::chrono::steady_clock::now();
        context = startGL(engine, options.size, log, console, &outcome.error);
        phases.add("Starting OpenGL", secondsSince(glStart));
        if (options.timings) timer.report("Starting OpenGL", phases.phases().back().seconds);
        ok = context != nullptr;
        // A missing extension: wait for a key only where someone can press one.
        if (!ok && outcome.error.rfind("no OpenGL", 0) != 0 && isatty(STDIN_FILENO)) {
            console.error(outcome.error);
            std::cerr << "Press Enter to continue..." << std::flush;
            std::getchar();
            outcome.error.clear();
        }
        if (ok && options.timings) std::fprintf(stderr, "renderer: %s\n", context->description().c_str());
    }
    if (ok) voxelizeLoaded(engine, plan, outcome, phases, log, console);
    if (context) engine.releaseGL();
    outcome.seconds = secondsSince(start);

    for (const std::string& warning : outcome.warnings) console.warning(warning);
    const bool done = outcome.status == FileOutcome::Status::Done;
    if (!done && !outcome.error.empty()) console.error(outcome.error);
    if (done && options.report != "-") console.result(resultLine(outcome, options.mode));
    if (!options.report.empty()) {
        report.phases = phases.phases();
        report.peakMemoryKiB = peakMemoryKiB();
        if (const std::string why = writeReportFile(options.report, runReportJson(report, KUBELMAR_VERSION));
            !why.empty()) {
            console.error(why);
            return kExitFailure;
        }
    }
    return done ? 0 : kExitFailure;
}

int runBatchCommand(const CliOptions& options) {
    Console console(options.quiet, options.verbose);
    RunPlan plan = makePlan(options);
    plan.depthImagesRoot = options.depthImages;
    const auto start = std::chrono::steady_clock::now();

    // The folder is listed (and the outputs' root made) before any GL starts.
    BatchRequest request;
    request.directory = options.batchDir;
    request.outputRoot = options.output;
    request.recursive = options.recursive;
    request.shardIndex = options.shardIndex;
    request.shardCount = options.shardCount;
    const BatchPlan batch = planBatch(request);
    if (!batch.ok) {
        console.error("can't list " + batch.error);
        return kExitFailure;
    }
    const std::string summaryFolder = options.output.empty() ? options.batchDir : options.output;
    if (!makeFolder(summaryFolder, console)) return kExitFailure;

    std::vector<FileOutcome> outcomes = batch.unreadable;
    for (const FileOutcome& broken : batch.unreadable) console.error(broken.error);
    std::vector<BatchItem> toRun;
    for (const BatchItem& item : batch.items) {
        if (options.skipExisting && outputComplete(item.outputDirectory)) {
            FileOutcome skipped;
            skipped.status = FileOutcome::Status::Skipped;
            skipped.item = item;
            outcomes.push_back(skipped);
        } else {
            toRun.push_back(item);
        }
    }

    TerminalProgress bar(stderr);
    NullProgress silent;
    Progress& shown = options.quiet ? static_cast<Progress&>(silent) : bar;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int jobs = std::min(options.jobs > 0 ? options.jobs : cores, std::max(1, static_cast<int>(toRun.size())));
    // llvmpipe starts a rasterizer thread per core in every context: share
    // the cores out among the jobs instead (read when a context is made).
    // Where a job's share is one core, 0 rasterizes on the job's own thread,
    // which saves the hand-over (about 8 % of the CPU time of a batch).
    if (jobs > 1 && !std::getenv("LP_NUM_THREADS")) {
        const int share = cores / jobs;
        setenv("LP_NUM_THREADS", std::to_string(share > 1 ? share : 0).c_str(), 0);
    }
    int finished = 0;
    shown.begin("Voxelizing " + std::to_string(toRun.size()) + " meshes", static_cast<int>(toRun.size()));
    // Workers are processes: nothing above has started GL or a thread.
    const std::vector<FileOutcome> ran = runBatchInProcesses(
        toRun, jobs,
        [&](std::string* error) -> std::unique_ptr<BatchWorker> { return CliWorker::create(plan, console, error); },
        [&](const FileOutcome& outcome) {
            bar.clear();  // the file's lines go where the bar was, the bar below them
            for (const std::string& warning : outcome.warnings) console.warning(warning);
            if (outcome.status == FileOutcome::Status::Done)
                console.result(resultLine(outcome, options.mode));
            else
                console.error(outcome.error);
            if (options.timings)
                std::fprintf(stderr, "time: %s %.3f\n", outcome.item.relativePath.c_str(), outcome.seconds);
            shown.setValue(++finished);
        });
    shown.setValue(static_cast<int>(toRun.size()));
    shown.end();
    outcomes.insert(outcomes.end(), ran.begin(), ran.end());
    std::stable_sort(outcomes.begin(), outcomes.end(), [](const FileOutcome& a, const FileOutcome& b) {
        return batchNameLess(a.item.relativePath, b.item.relativePath);
    });

    const double seconds = secondsSince(start);
    const std::string summaryPath =
        (fs::path(summaryFolder) / batchSummaryFileName(options.shardIndex, options.shardCount)).string();
    int status = 0;
    if (const std::string why = writeReportFile(
            summaryPath, batchSummaryJson(outcomes, options.shardIndex, options.shardCount, seconds));
        !why.empty()) {
        console.error(why);
        status = kExitFailure;
    }
    const SummaryCounts counts = countOutcomes(outcomes);
    char line[160];
    std::snprintf(line, sizeof line, "Batch: %d done, %d failed, %d skipped, %.2f s", counts.done, counts.failed,
                  counts.skipped, seconds);
    console.result(line);
    return counts.failed > 0 ? kExitFailure : status;
}

int mergeSummaries(const CliOptions& options) {
    Console console(options.quiet, options.verbose);
    const MergeResult merged = mergeBatchSummaries(options.mergeDir);
    if (!merged.ok) {
        console.error(merged.error);
        return kExitFailure;
    }
    console.result("Merged " + std::to_string(merged.shards) + " shards: " + std::to_string(merged.counts.done) +
                   " done, " + std::to_string(merged.counts.failed) + " failed, " +
                   std::to_string(merged.counts.skipped) + " skipped");
    return merged.counts.failed > 0 ? kExitFailure : 0;
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!parseCliOptions(argc, argv, options, &error)) {
        std::cerr << "kubelmar-cli: " << error << ". " << kCliHelpHint << std::endl;
        return kExitUsage;
    }
    switch (options.command) {
        case CliOptions::Command::Help: std::cout << cliHelp(); return 0;
        case CliOptions::Command::Version: std::cout << "kubelmar-cli " << KUBELMAR_VERSION << std::endl; return 0;
        case CliOptions::Command::MergeSummaries: return mergeSummaries(options);
        case CliOptions::Command::Batch: return runBatchCommand(options);
        case CliOptions::Command::Voxelize: break;
    }
    return runOne(options);
}
