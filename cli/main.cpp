// kubelmar-cli: the voxelizer with no display, on headless EGL contexts.
// Results go to stdout, progress and diagnostics to stderr.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "batch/batch_plan.h"
#include "batch/batch_processes.h"
#include "batch/batch_summary.h"
#include "batch/mesh_listing.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/headless_worker.h"
#include "cli/run_report.h"
#include "cli/terminal_progress.h"

namespace {

using namespace kubelmar;
namespace fs = std::filesystem;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Creates a folder the run will need; false after reporting why not.
bool makeFolder(const std::string& path, Console& console) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) console.error(path + ": can't create the folder: " + ec.message());
    return !ec;
}

// --timings: each step's wall time, "time: <step> <seconds>" (bench/ reads
// them), after the renderer's name.
void printTimings(const RunReport& report, const std::string& renderer) {
    if (!renderer.empty()) std::fprintf(stderr, "renderer: %s\n", renderer.c_str());
    for (const PhaseTime& phase : report.phases) std::fprintf(stderr, "time: %s %.3f\n", phase.label.c_str(), phase.seconds);
}

// Bytes read as a step of its own, for files large enough to take a while
// (a second or more); smaller ones load before a bar could say anything.
LoadProgress loadProgress(Progress& shown) {
    constexpr std::uint64_t kShownFrom = std::uint64_t{16} << 20;
    constexpr int kSteps = 1000;
    return [&shown](std::uint64_t done, std::uint64_t total) {
        if (total < kShownFrom) return;
        if (done == 0) shown.begin("Loading mesh", kSteps);
        shown.setValue(static_cast<int>(done * kSteps / total));
        if (done == total) shown.end();
    };
}

int runOne(const CliOptions& options) {
    Console console(options.quiet, options.verbose);
    RunRequest request = options.run;
    request.output.programVersion = KUBELMAR_VERSION;
    if (!options.depthImages.empty()) {
        if (!makeFolder(options.depthImages, console)) return kExitFailure;
        request.settings.depthPictureDirectory = options.depthImages;
    }
    TerminalProgress bar(stderr);
    NullProgress silent;
    Progress& shown = options.quiet ? static_cast<Progress&>(silent) : bar;

    RunReport report;
    report.job = {options.input, options.input, options.output};
    report.mode = request.settings.mode;
    Engine engine;
    std::ostringstream log;
    engine.setLog(&log);
    const auto start = std::chrono::steady_clock::now();
    auto phase = [&](const char* label, std::chrono::steady_clock::time_point since) {
        report.phases.push_back({label, secondsSince(since)});
    };

    // The mesh and the output folder are checked before any GL is started.
    bool ok = loadForRun(engine, report, request.limits, loadProgress(shown));
    if (!ok) bar.clear();  // a failed load leaves its bar unfinished
    phase("Loading mesh", start);
    std::unique_ptr<HeadlessGLContext> context;
    std::string renderer;
    if (ok) {
        const auto glStart = std::chrono::steady_clock::now();
        context = startHeadlessGL(engine, request.settings.size, report.diagnostics);
        phase("Starting OpenGL", glStart);
        ok = context != nullptr;
        if (!ok) report.status = RunReport::Status::Failed;
        if (ok && options.timings) renderer = context->description();
    }
    console.engineLines(log.str());
    log.str("");
    if (ok) voxelizeLoaded(engine, request, report, shown);
    console.engineLines(log.str());
    if (context) engine.releaseGL();
    report.seconds = secondsSince(start);
    if (options.timings) printTimings(report, renderer);

    console.report(report.diagnostics);
    if (options.report == "-") console.resultsToStderr();  // stdout carries the JSON alone
    if (report.done()) console.result(resultLine(report));
    if (!options.report.empty()) {
        if (const std::string why = writeReportFile(
                options.report, runReportJson(options, report, peakMemoryKiB(), KUBELMAR_VERSION));
            !why.empty()) {
            console.error(why);
            return kExitFailure;
        }
    }
    return report.done() ? 0 : kExitFailure;
}

int runBatchCommand(const CliOptions& options) {
    Console console(options.quiet, options.verbose);
    RunRequest request = options.run;
    request.output.programVersion = KUBELMAR_VERSION;
    request.settings.depthPictureDirectory = options.depthImages;  // a folder per mesh below it
    const auto start = std::chrono::steady_clock::now();

    // The folder is listed (and the outputs' root made) before any GL starts.
    BatchRequest batchRequest;
    batchRequest.directory = options.batchDir;
    batchRequest.outputRoot = options.output;
    batchRequest.recursive = options.recursive;
    batchRequest.shardIndex = options.shardIndex;
    batchRequest.shardCount = options.shardCount;
    const BatchPlan batch = planBatch(batchRequest);
    if (!batch.ok) {
        console.error("can't list " + batch.error);
        return kExitFailure;
    }
    const std::string summaryFolder = options.output.empty() ? options.batchDir : options.output;
    if (!makeFolder(summaryFolder, console)) return kExitFailure;

    std::vector<RunReport> reports = batch.unreadable;
    for (const RunReport& broken : batch.unreadable) console.report(broken.diagnostics);
    std::vector<MeshJob> toRun;
    for (const MeshJob& job : batch.items) {
        if (options.skipExisting && outputComplete(job.outputDirectory)) {
            RunReport skipped;
            skipped.status = RunReport::Status::Skipped;
            skipped.job = job;
            reports.push_back(skipped);
        } else {
            toRun.push_back(job);
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
    const std::size_t count = toRun.size();
    shown.begin("Voxelizing " + std::to_string(count) + (count == 1 ? " mesh" : " meshes"), static_cast<int>(count));
    // Workers are processes: nothing above has started GL or a thread.
    const std::vector<RunReport> ran = runBatchInProcesses(
        toRun, jobs,
        [&](std::string* error) -> std::unique_ptr<BatchWorker> {
            return HeadlessWorker::create(request, console, error);
        },
        [&](const RunReport& report) {
            bar.clear();  // the file's lines go where the bar was, the bar below them
            console.report(report.diagnostics);
            if (report.done()) console.result(resultLine(report));
            if (options.timings)
                std::fprintf(stderr, "time: %s %.3f\n", report.job.relativePath.c_str(), report.seconds);
            shown.setValue(++finished);
        });
    shown.setValue(static_cast<int>(count));
    shown.end();
    reports.insert(reports.end(), ran.begin(), ran.end());
    std::stable_sort(reports.begin(), reports.end(), [](const RunReport& a, const RunReport& b) {
        return batchNameLess(a.job.relativePath, b.job.relativePath);
    });

    const double seconds = secondsSince(start);
    const std::string summaryPath =
        (fs::path(summaryFolder) / batchSummaryFileName(options.shardIndex, options.shardCount)).string();
    int status = 0;
    if (const std::string why = writeReportFile(
            summaryPath, batchSummaryJson(reports, options.shardIndex, options.shardCount, seconds));
        !why.empty()) {
        console.error(why);
        status = kExitFailure;
    }
    const SummaryCounts counts = countOutcomes(reports);
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
        case CliOptions::Command::ListPresets: std::cout << gridPresetList(); return 0;
        case CliOptions::Command::Version: std::cout << "kubelmar-cli " << KUBELMAR_VERSION << std::endl; return 0;
        case CliOptions::Command::MergeSummaries: return mergeSummaries(options);
        case CliOptions::Command::Batch: return runBatchCommand(options);
        case CliOptions::Command::Voxelize: break;
    }
    return runOne(options);
}
