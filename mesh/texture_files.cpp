// A mesh's texture files, decoded in a child process.
#include "mesh/texture_files.h"

#include <chrono>
#include <string_view>

#include "mesh/child_process.h"
#include "mesh/mesh_wire.h"

namespace kubelmar {

namespace {

// Exit status of the child when a record could not be written.
constexpr int kWriteFailed = 4;

long long pixelsOf(const TextureLoadResult& r) {
    return r.ok ? static_cast<long long>(r.texture.width) * r.texture.height : 0;
}

// Why the child ended before it finished an image.
std::string decoderFailure(const ChildOutcome& child, const LoadLimits& limits) {
    using End = ChildOutcome::End;
    switch (child.end) {
        case End::CannotStart: return "cannot start the image decoder: " + child.detail;
        case End::TimedOut:
            return "the image decoder was stopped: the mesh's textures took more than " +
                   std::to_string(limits.maxReadSeconds) + " seconds";
        case End::TooLarge:
            return "the decoded image is larger than the memory limit of " + describeBytes(limits.maxMemoryBytes) +
                   " (--max-memory)";
        case End::Signalled: return "the image decoder failed (it stopped with signal " + child.detail + ")";
        case End::OutOfMemory:
            return "the image decoder failed (it ran out of its memory limit of " + describeBytes(limits.maxMemoryBytes) +
                   ", --max-memory)";
        case End::ExitStatus: return "the image decoder failed (it stopped with exit status " + child.detail + ")";
        case End::Finished: break;
    }
    return "the image decoder failed (its reply was incomplete)";
}

}  // namespace

std::vector<TextureLoadResult> loadTextureFiles(const std::vector<std::string>& paths, long long pixelBudget,
                                                const LoadLimits& limits, const TextureFileDecoder& decode) {
    std::vector<TextureLoadResult> results(paths.size());
    long long left = pixelBudget;
    if (!limits.isolateThirdPartyReaders) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            results[i] = decode(paths[i], left);
            left -= pixelsOf(results[i]);
        }
        return results;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.maxReadSeconds);
    std::size_t next = 0;
    while (next < paths.size()) {
        // One child decodes from `next` on and writes each result as soon as
        // it has it, so that a crash leaves the ones before it.
        const std::size_t first = next;
        const long long budget = left;
        const ChildOutcome child = runLimitedChild(limits, deadline, [&](int out) {
            long long childLeft = budget;
            for (std::size_t i = first; i < paths.size(); ++i) {
                const TextureLoadResult r = decode(paths[i], childLeft);
                childLeft -= pixelsOf(r);
                if (!writeAllTo(out, encodeTextureResult(r))) return kWriteFailed;
            }
            return 0;
        });
        std::string_view reply = child.reply;
        while (next < paths.size()) {
            TextureLoadResult r;
            if (!decodeTextureResult(reply, r)) break;
            if (pixelsOf(r) > left) break;  // not what the child was asked for
            left -= pixelsOf(r);
            results[next++] = std::move(r);
        }
        if (next == paths.size()) break;
        // The child ended, or its reply went wrong, before the image at
        // `next` was done: that image is lost, the rest get another child.
        results[next++].reason = decoderFailure(child, limits);
        if (child.end == ChildOutcome::End::CannotStart || child.end == ChildOutcome::End::TimedOut) {
            while (next < paths.size()) results[next++].reason = decoderFailure(child, limits);
        }
    }
    return results;
}

}  // namespace kubelmar
