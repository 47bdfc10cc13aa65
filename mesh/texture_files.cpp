// A mesh's texture files, decoded in a child process.
#include "mesh/texture_files.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
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

// Maps `bytes` of shared memory from `at` in one call where the kernel can
// (Linux 5.14 on), instead of a page fault for each 4 KiB page.
void populate(std::uint8_t* at, std::size_t bytes, bool forWriting) {
#if defined(MADV_POPULATE_READ) && defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(at) & ~(page - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(at) + bytes;
    if (bytes > 0)
        ::madvise(reinterpret_cast<void*>(start), end - start, forWriting ? MADV_POPULATE_WRITE : MADV_POPULATE_READ);
#else
    (void)at;
    (void)bytes;
    (void)forWriting;
#endif
}

// Memory the child writes texels into and this process reads them from,
// shared across the fork: cheaper than sending them down a pipe (a third of
// a load's time for a few megapixels). Sized by the pixel budget, which
// bounds what the images may hold together; pages are only used as written.
class SharedTexels {
public:
    explicit SharedTexels(std::size_t bytes) : size_(bytes) {
        if (size_ == 0) return;
        void* p = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) {
            error_ = std::strerror(errno);
            size_ = 0;
        } else {
            data_ = static_cast<std::uint8_t*>(p);
        }
    }
    ~SharedTexels() {
        if (data_) ::munmap(data_, size_);
    }
    SharedTexels(const SharedTexels&) = delete;
    SharedTexels& operator=(const SharedTexels&) = delete;

    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const std::string& error() const { return error_; }  // why there is none

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_;
    std::string error_;
};

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

    if (paths.empty()) return results;
    SharedTexels texels(static_cast<std::size_t>(std::max(0LL, std::min(pixelBudget, kMaxTotalTexturePixels))) * 4);
    if (!texels.error().empty()) {
        for (TextureLoadResult& r : results) r.reason = "cannot start the image decoder: " + texels.error();
        return results;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.maxReadSeconds);
    std::size_t next = 0;
    std::size_t used = 0;  // bytes of `texels` holding images that came back
    while (next < paths.size()) {
        // One child decodes from `next` on and reports each image as soon as
        // it has it, so that a crash leaves the ones before it. Texels go
        // one image after another into the shared memory.
        const std::size_t first = next;
        const long long budget = left;
        const ChildOutcome child = runLimitedChild(limits, deadline, [&](int out) {
            long long childLeft = budget;
            std::size_t at = used;
            for (std::size_t i = first; i < paths.size(); ++i) {
                TextureLoadResult r = decode(paths[i], childLeft);
                if (r.ok && r.texture.rgba.size() > texels.size() - at) {
                    r = TextureLoadResult();
                    r.reason = "the decoded images are larger than their pixel budget";
                }
                childLeft -= pixelsOf(r);
                if (r.ok) {
                    populate(texels.data() + at, r.texture.rgba.size(), true);
                    if (!r.texture.rgba.empty()) std::memcpy(texels.data() + at, r.texture.rgba.data(), r.texture.rgba.size());
                    at += r.texture.rgba.size();
                }
                if (!writeAllTo(out, encodeTextureRecord(r))) return kWriteFailed;
            }
            return 0;
        });
        std::string_view reply = child.reply;
        while (next < paths.size()) {
            TextureLoadResult r;
            if (!decodeTextureRecord(reply, r)) break;
            // Nothing beyond what the child was given: the budget, the memory.
            const std::size_t bytes = static_cast<std::size_t>(pixelsOf(r)) * 4;
            if (pixelsOf(r) > left || bytes > texels.size() - used) break;
            populate(texels.data() + used, bytes, false);
            r.texture.rgba.assign(texels.data() + used, texels.data() + used + bytes);
            used += bytes;
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
