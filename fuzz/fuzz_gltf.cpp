// libFuzzer target: the load sequence on arbitrary bytes as a glTF file
// (text, or binary GLB by its signature), with a buffer and an image beside
// it that a reference may name, and references confined to that folder.
#include <initializer_list>
#include <string>

#include "fuzz_mesh_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        std::string bin;
        for (const float v : {0.f, 0.f, 0.f, 4.f, 0.f, 0.f, 0.f, 2.f, 0.f})
            bin.append(reinterpret_cast<const char*>(&v), sizeof v);
        for (const std::uint16_t i : {0, 1, 2}) bin.append(reinterpret_cast<const char*>(&i), sizeof i);
        kubelmar::fuzz::writeBeside("pos.bin", bin);
        // Not an image: the reference is followed and the decoder says why.
        kubelmar::fuzz::writeBeside("t.png", "not a PNG");
        return true;
    }();
    (void)ready;
    const bool binary = size >= 4 && data[0] == 'g' && data[1] == 'l' && data[2] == 'T' && data[3] == 'F';
    kubelmar::fuzz::loadAsFile(data, size, binary ? ".glb" : ".gltf");
    return 0;
}
