// libFuzzer target: the MTL parser on arbitrary bytes. Every material it
// returns must have a colour in 0..1 and a warning per broken line must name
// the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mesh/mtl_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kubelmar::MtlReadResult result = kubelmar::parseMTL(text, "fuzz.mtl");
    for (const kubelmar::Diagnostic& warning : result.warnings)
        if (warning.file != "fuzz.mtl" || warning.line < 1) std::abort();
    for (const kubelmar::MtlMaterial& m : result.materials)
        for (float c : m.material.diffuse)
            if (!(c >= 0.0f && c <= 1.0f)) std::abort();
    return 0;
}
