#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kubelmar {

// What one load may touch and spend. Every mesh is treated as hostile: the
// files it names are followed only inside a root, and what it declares is
// checked against a memory budget before anything is allocated for it.
struct LoadLimits {
    // Folder inside which a mesh's references (glTF buffers and images, OBJ
    // mtllib, MTL map_Kd, textures beside other formats) may be opened, with
    // its subfolders. Empty: the folder the mesh file is in.
    std::string referenceRoot;
    // Follow references anywhere (absolute paths, "..", links leading out).
    // URIs with a scheme, devices and FIFOs stay refused.
    bool anyReference = false;
    // Bytes a load may use: declared counts, archive entries and inline data
    // are checked against it, and the third-party readers run under it as an
    // address-space limit.
    std::uint64_t maxMemoryBytes = defaultMemoryBudget();
    // Seconds the third-party readers may take before they are stopped.
    unsigned maxReadSeconds = 300;
    // Run the third-party readers (STL, PLY, glTF, 3MF, OFF) and the
    // decoder of an OBJ's textures in a child process, so that a crash, an
    // abort or a hang there becomes an error of this load (a lost texture
    // for the decoder). Off only where the caller wants faults to surface
    // (fuzzing).
    bool isolateThirdPartyReaders = true;

    // min(physical memory / 2, 8 GiB); 2 GiB where the memory size can't be read.
    static std::uint64_t defaultMemoryBudget();
};

// Parses a byte size as the command line takes it: a whole number with an
// optional suffix K, M, G or T (powers of 1024, case-insensitive, an
// optional trailing "B" or "iB"): "512M", "2G", "1048576". False for
// anything else, zero, or a value past 2^64 - 1.
bool parseByteSize(std::string_view text, std::uint64_t& bytes);

// A byte count for messages: "512 MiB", "8 GiB", "1.5 GiB", "300 bytes".
std::string describeBytes(std::uint64_t bytes);

}  // namespace kubelmar
