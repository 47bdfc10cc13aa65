// The JPEG structure the texture decoder trusts, checked first.
#include "mesh/jpeg_check.h"

#include <algorithm>

namespace kubelmar {

std::string jpegHuffmanTableFault(const std::uint8_t* b, std::size_t size) {
    // The decoder takes any run of FF fill bytes before a marker, the start
    // of image included.
    std::size_t at = 0;
    while (at < size && b[at] == 0xFF) ++at;
    if (at == 0 || at >= size || b[at] != 0xD8) return {};
    ++at;
    while (at + 4 <= size) {
        if (b[at] != 0xFF) {
            // Entropy-coded data after a scan header: skip to the next marker
            // (FF 00 is a stuffed byte, FF D0..D7 a restart, FF FF fill).
            ++at;
            continue;
        }
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0xD8) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xD9) return {};
        const std::size_t length = static_cast<std::size_t>(b[at + 2]) << 8 | b[at + 3];
        if (length < 2) return {};  // the decoder reports it
        const std::size_t end = std::min(size, at + 2 + length);
        if (marker == 0xC4) {
            // Tables follow one another while the segment has bytes left; the
            // last one's counts are read even where they run past its end.
            std::size_t p = at + 4;
            while (p < end) {
                std::size_t codes = 0;
                for (std::size_t i = p + 1; i <= p + 16 && i < size; ++i) codes += b[i];
                if (codes > 256)
                    return "corrupt JPEG: a Huffman table declares " + std::to_string(codes) + " codes, more than 256";
                p += 17 + codes;
            }
        }
        at += 2 + length;
    }
    return {};
}

}  // namespace kubelmar
