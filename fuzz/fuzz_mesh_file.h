#pragma once

// Shared by the libFuzzer targets of the mesh formats read through Open
// Asset Import: each input becomes a file of one extension in a folder of
// its own, with its references confined to that folder. Our checks of what
// a file declares run here, where the fuzzer sees their coverage and
// faults; the load then goes the way the programs take it, Open Asset
// Import in a child process. Its faults (it has a long record of them)
// become error lines there, which is the contract checked here: any input
// gives a mesh or a reason, never a crash of this process.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "mesh/declared_sizes.h"
#include "mesh/mesh_loader.h"

namespace kubelmar::fuzz {

// A folder for this process's inputs, with `beside` files a mesh may
// reference (a glTF buffer, a texture) already in it.
inline const std::filesystem::path& inputFolder() {
    static const std::filesystem::path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::filesystem::path f = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                                  ("kubelmar-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

inline void writeBeside(const std::string& name, const std::string& bytes) {
    std::ofstream(inputFolder() / name, std::ios::binary) << bytes;
}

// Loads `data` as the file mesh<extension>; aborts on a result that breaks
// the loader's contract (a failure without an error, faces indexing past
// the vertices).
inline void loadAsFile(const std::uint8_t* data, std::size_t size, const std::string& extension) {
    const std::filesystem::path path = inputFolder() / ("mesh" + extension);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    LoadLimits limits;
    limits.maxMemoryBytes = std::uint64_t{512} << 20;  // under libFuzzer's -rss_limit_mb=2048 with ASan's overhead
    limits.maxReadSeconds = 5;                          // under the fuzzer's -timeout
    checkDeclaredSizes(path.string(), limits.maxMemoryBytes);
    Mesh mesh;
    const MeshLoadResult result = loadPreparedMesh(path.string(), mesh, limits);
    if (!result.ok && result.error() == nullptr) std::abort();
    if (result.ok) {
        if (static_cast<std::size_t>(mesh.faceCount) != mesh.faces.size()) std::abort();
        for (const Face& face : mesh.faces)
            for (const int i : face.index)
                if (i < 0 || i >= mesh.vertexCount) std::abort();
    }
}

}  // namespace kubelmar::fuzz
