#pragma once

#include <array>
#include <cstdint>
#include <vector>

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

// Rows of a slice known to hold one pixel value throughout (the empty
// voxel's), so that the encoder neither reads nor checksums them byte by
// byte: row y is such a row when flags[y] != 0, and its bytes in `rgba` are
// then never read. The file is the same, byte for byte, as the one the
// whole picture gives.
struct UniformRows {
    const std::uint8_t* flags = nullptr;
    std::array<std::uint8_t, 4> pixel{};
};
void encodeSlicePng(const std::uint8_t* rgba, int width, int height, const UniformRows& uniform,
                    std::vector<std::uint8_t>& png);

}  // namespace kubelmar
