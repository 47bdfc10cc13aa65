// The JPEG structure the texture decoder trusts, checked first.
#include "mesh/jpeg_check.h"

#include <algorithm>

namespace kubelmar {

namespace {

// The Huffman tables a scan header (its bytes from `p` to `end`) names and
// the scan decodes with, each against those defined before it. A
// progressive scan uses the DC table in its first DC pass only and the AC
// table in its AC passes; any other scan uses both.
std::string undefinedTableFault(const std::uint8_t* b, std::size_t p, std::size_t end, const bool (&defined)[2][4],
                                bool progressive) {
    if (p >= end) return {};
    const std::size_t components = b[p];
    const std::size_t spectral = p + 1 + 2 * components;  // Ss, Se, Ah/Al
    if (spectral + 2 >= end) return {};  // the decoder reports a short header
    const bool dcPass = b[spectral] == 0;
    const bool firstPass = (b[spectral + 2] >> 4) == 0;
    const bool usesDc = !progressive || (dcPass && firstPass);
    const bool usesAc = !progressive || !dcPass;
    for (std::size_t i = 0; i < components; ++i) {
        const int selector = b[p + 2 + 2 * i];
        const int dc = selector >> 4, ac = selector & 15;
        if (dc > 3 || ac > 3) return {};  // the decoder refuses these itself
        if (usesDc && !defined[0][dc])
            return "corrupt JPEG: a scan decodes with DC Huffman table " + std::to_string(dc) + ", which is never defined";
        if (usesAc && !defined[1][ac])
            return "corrupt JPEG: a scan decodes with AC Huffman table " + std::to_string(ac) + ", which is never defined";
    }
    return {};
}

}  // namespace

std::string jpegHuffmanTableFault(const std::uint8_t* b, std::size_t size) {
    // The decoder takes any run of FF fill bytes before a marker, the start
    // of image included.
    std::size_t at = 0;
    while (at < size && b[at] == 0xFF) ++at;
    if (at == 0 || at >= size || b[at] != 0xD8) return {};
    ++at;
    // Which tables (DC 0..3, AC 0..3) a DHT segment has defined so far: the
    // decoder keeps no mark of its own and decodes a scan through a table
    // never defined from uninitialised memory, indexing before its arrays.
    bool defined[2][4] = {};
    bool progressive = false;
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
        if (marker == 0xC2) progressive = true;
        if (marker == 0xDA) {
            if (std::string fault = undefinedTableFault(b, at + 4, end, defined, progressive); !fault.empty()) return fault;
        }
        if (marker == 0xC4) {
            // Tables follow one another while the segment has bytes left; the
            // last one's counts are read even where they run past its end.
            std::size_t p = at + 4;
            while (p < end) {
                std::size_t codes = 0;
                for (std::size_t i = p + 1; i <= p + 16 && i < size; ++i) codes += b[i];
                if (codes > 256)
                    return "corrupt JPEG: a Huffman table declares " + std::to_string(codes) + " codes, more than 256";
                if (const int tc = b[p] >> 4, th = b[p] & 15; tc <= 1 && th <= 3) defined[tc][th] = true;
                p += 17 + codes;
            }
        }
        at += 2 + length;
    }
    return {};
}

}  // namespace kubelmar
