// The third-party reader in a child process with limits.
#include "mesh/isolated_read.h"

#include <chrono>

#include "mesh/assimp_reader.h"
#include "mesh/child_process.h"
#include "mesh/mesh_wire.h"

namespace kubelmar {

namespace {

// Exit status of the child when its reply could not be written.
constexpr int kWriteFailed = 4;

}  // namespace

ObjReadResult readWithAssimpIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits) {
    return readIsolated(mesh, path, limits, [&](Mesh& into) { return readWithAssimp(into, path, limits); });
}

ObjReadResult readIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits, const MeshReadFunction& read) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.maxReadSeconds);
    const ChildOutcome child = runLimitedChild(limits, deadline, [&](int out) {
        Mesh childMesh;
        ObjReadResult result = read(childMesh);
        // The importer turns a failed allocation into its error text.
        if (!result.ok && result.error.message.find("bad_alloc") != std::string::npos)
            result.error.message = "cannot read mesh: the reader ran out of its memory limit of " +
                                   describeBytes(limits.maxMemoryBytes) + " (--max-memory)";
        return writeAllTo(out, encodeReadResult(result, childMesh)) ? 0 : kWriteFailed;
    });

    ObjReadResult result;
    const std::string stopped = "the reader stopped";
    using End = ChildOutcome::End;
    switch (child.end) {
        case End::CannotStart:
            result.error = errorAbout(path, "cannot start the reader: " + child.detail);
            break;
        case End::TimedOut:
            result.error = errorAbout(path, "cannot read mesh: the reader took more than " +
                                                std::to_string(limits.maxReadSeconds) + " seconds and was stopped");
            break;
        case End::TooLarge:
            result.error = errorAbout(path, "cannot read mesh: the mesh is larger than the memory limit of " +
                                                describeBytes(limits.maxMemoryBytes) + " (--max-memory)");
            break;
        case End::Signalled:
            result.error = errorAbout(path, "cannot read mesh: " + stopped + " with signal " + child.detail);
            break;
        case End::OutOfMemory:
            result.error = errorAbout(path, "cannot read mesh: the reader ran out of its memory limit of " +
                                                describeBytes(limits.maxMemoryBytes) + " (--max-memory)");
            break;
        case End::ExitStatus:
            result.error = errorAbout(path, "cannot read mesh: " + stopped + " with exit status " + child.detail);
            break;
        case End::Finished: {
            Mesh read;
            ObjReadResult decoded;
            if (!decodeReadResult(child.reply, decoded, read)) {
                result.error = errorAbout(path, "cannot read mesh: the reader's reply was incomplete");
            } else {
                result = std::move(decoded);
                if (result.ok) mesh = std::move(read);
            }
            break;
        }
    }
    return result;
}

}  // namespace kubelmar
