// libFuzzer target: the texture decoder (PNG and JPEG through stb_image,
// behind the declared-size and table checks) on arbitrary bytes. Decoded in
// this process, not in the child a load uses: the fuzzer steers by the
// decoder's coverage, which a child's counters would not report. A fault
// found here costs a load one texture; each gets a check in front of the
// decoder all the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mesh/texture_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // 2 Mpixel: past the 1 Mpixel where the pixels-per-byte check starts, so
    // every branch is reached, yet quick to decode: a 531-byte progressive
    // JPEG of 64 x 65,496 pixels took 1 s under the sanitizers, and over
    // the 10 s timeout on a busy machine.
    const kubelmar::TextureLoadResult r = kubelmar::decodeTexture(data, size, "fuzz", 1LL << 21);
    if (r.ok) {
        const kubelmar::Texture& t = r.texture;
        if (t.width <= 0 || t.height <= 0 ||
            t.rgba.size() != static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4)
            std::abort();
    } else if (r.reason.empty()) {
        std::abort();
    }
    return 0;
}
