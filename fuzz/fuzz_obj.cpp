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
#include <string_view>

#include "mesh/mesh_loader.h"

namespace {

// One in-memory file reused for every input, reached through a link whose
// name ends in .obj (made for each input and removed after it, so that none
// is left behind): the loader takes a path and picks the reader by the
// file's first bytes, else by its extension, and a bare /proc/self/fd/N
// would be refused as an unknown format before the OBJ reader saw it.
int memoryFile() {
    static const int fd = [] {
        const int f = memfd_create("kubelmar-fuzz-obj", 0);
        if (f < 0) std::abort();
        return f;
    }();
    return fd;
}

std::string linkPath() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/kubelmar-fuzz-" + std::to_string(getpid()) + ".obj";
}

// Files that start like PLY, glTF, 3MF or OFF go to Open Asset Import,
// which is not this project's code to fuzz.
bool handedToAssimp(std::string_view head) {
    for (std::string_view signature : {"ply", "glTF", "PK\x03\x04", "OFF"})
        if (head.starts_with(signature)) return true;
    return false;
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

    if (handedToAssimp(std::string_view(reinterpret_cast<const char*>(data), size))) return -1;
    const int fd = memoryFile();
    static const std::string path = linkPath();
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<std::size_t>(n);
    }

    ::unlink(path.c_str());
    if (::symlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.c_str()) != 0) std::abort();
    kubelmar::Mesh mesh;
    const kubelmar::MeshLoadResult result = kubelmar::loadPreparedMesh(path, mesh);
    ::unlink(path.c_str());
    // A load is either a failure with a reason or a mesh whose faces index
    // its own vertices; anything else is a reader fault.
    if (!result.ok && result.error() == nullptr) std::abort();
    // Every input here must reach the OBJ reader: a refusal by format means
    // the target fuzzes nothing (as it once did, unnoticed).
    if (result.errorText().find("not a supported mesh file") != std::string::npos) std::abort();
    if (result.ok) {
        for (const kubelmar::Face& face : mesh.faces) {
            for (const int i : face.index) {
                if (i < 0 || i >= mesh.vertexCount) std::abort();
            }
        }
    }
    return 0;
}
