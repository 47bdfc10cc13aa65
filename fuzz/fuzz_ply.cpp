// libFuzzer target: the load sequence on arbitrary bytes as a .ply file.
#include "fuzz_mesh_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kubelmar::fuzz::loadAsFile(data, size, ".ply");
    return 0;
}
