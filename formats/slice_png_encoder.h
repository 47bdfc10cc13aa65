#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "volume/slice_rows.h"

namespace kubelmar {

// Encodes an 8-bit RGBA image (width x height pixels, top row first, 4 bytes
// each) as a complete PNG file in `png`.
//
// Slices are mostly background: whole rows and long runs of one pixel. zlib
// scans every byte of such a slice at a few hundred MB/s, which made it the
// slowest step of a run; this encoder finds only the two repeats slices are
// made of (the pixel to the left, the row above), compares eight bytes at a
// time, and writes them with one Huffman table chosen for them, so a run of
// one pixel costs two bits per 258 bytes. Any PNG reader decodes the result.
void encodeSlicePng(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& png);

// What the caller knows of the slice's rows (see SliceRows): outside each
// row's span every pixel is `pixel`. The encoder then reads an empty row not
// at all (its bytes in `rgba` may be anything) and a row with voxels only
// about its span (the rest of such a row must hold `pixel`). The file is the
// same, byte for byte, as the one the whole picture gives.
struct KnownRows {
    const SliceRows* rows = nullptr;
    std::array<std::uint8_t, 4> pixel{};
};
void encodeSlicePng(const std::uint8_t* rgba, int width, int height, const KnownRows& known,
                    std::vector<std::uint8_t>& png);

}  // namespace kubelmar
