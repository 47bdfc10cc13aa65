// libFuzzer target: the load sequence on arbitrary bytes as a .3mf file.
#include "fuzz_mesh_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kubelmar::fuzz::loadAsFile(data, size, ".3mf");
    return 0;
}
