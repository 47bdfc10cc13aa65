// libFuzzer target: the whole load sequence (read, measure, scale, centre,
// normals) on arbitrary bytes, through the library's own loadPreparedMesh so
// the fuzzer exercises exactly what the programs run.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "mesh/mesh_loader.h"

namespace {

// One in-memory file reused for every input: the loader takes a path, and
// /proc/self/fd/N names the memfd without touching the disk.
int memoryFile() {
    static const int fd = [] {
        const int f = memfd_create("kubelmar-fuzz-obj", 0);
        if (f < 0) std::abort();
        return f;
    }();
    return fd;
}

// The load sequence reports progress on std::cout and warnings on std::cerr;
// a fuzzer running a million inputs must not print a million lines.
struct SilenceStreams {
    std::ostringstream sink;
    SilenceStreams() {
        std::cout.rdbuf(sink.rdbuf());
        std::cerr.rdbuf(sink.rdbuf());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilenceStreams silence;
    silence.sink.str(std::string());

    const int fd = memoryFile();
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<std::size_t>(n);
    }

    kubelmar::Mesh mesh;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const kubelmar::MeshLoadResult result = kubelmar::loadPreparedMesh(path, mesh);
    // A load is either a failure with a reason or a mesh whose faces index
    // its own vertices; anything else is a reader fault.
    if (!result.ok && result.error.empty()) std::abort();
    if (result.ok) {
        for (const kubelmar::Face& face : mesh.faces) {
            for (const int i : face.index) {
                if (i < 0 || i >= mesh.vertexCount) std::abort();
            }
        }
    }
    return 0;
}
