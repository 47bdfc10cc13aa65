#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/checked_file.h"

namespace kubelmar {

// Writes an 8-bit RGBA (or, with keepAlpha false, RGB), non-interlaced PNG
// into an opened file and finishes it (the file decides whether it is
// replaced atomically). `rgba` holds width x height pixels, top row first,
// 4 bytes each (red, green, blue, alpha). Returns the file's first failure.
// Safe to call from several threads at once, each with its own file.
IoResult writePngRGBA(CheckedFile& file, int width, int height, const std::uint8_t* rgba, bool keepAlpha = true);

// Writes a 1-bit greyscale PNG: `bits` holds height rows of
// (width + 7) / 8 bytes, top row first, the leftmost pixel in each byte's
// highest bit; 1 is white. Returns the file's first failure.
IoResult writePngBits(CheckedFile& file, int width, int height, const std::uint8_t* bits);

// The same, written in place at `path`; false with the reason (naming
// nothing but the cause) otherwise.
bool writePngRGBA(const std::string& path, int width, int height, const std::uint8_t* rgba,
                  std::string* error, bool keepAlpha = true);

// Reads any 8-bit PNG as RGBA (top row first). Used by tests and tools.
bool readPngRGBA(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgba,
                 std::string* error);

}  // namespace kubelmar
