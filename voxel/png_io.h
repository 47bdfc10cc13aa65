#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kubelmar {

// Writes an 8-bit RGBA (or, with keepAlpha false, RGB), non-interlaced PNG.
// `rgba` holds width x height pixels, top row first, 4 bytes each (red,
// green, blue, alpha). Returns false with a reason (naming nothing but the
// cause) when the file can't be created or written completely. Safe to call
// from several threads at once.
bool writePngRGBA(const std::string& path, int width, int height, const std::uint8_t* rgba,
                  std::string* error, bool keepAlpha = true);

// Writes `size` bytes as the whole file at `path`, checking the write, the
// flush and the close; false with the reason otherwise. Thread-safe.
bool writeFileBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size, std::string* error);

// Reads any 8-bit PNG as RGBA (top row first). Used by tests and tools.
bool readPngRGBA(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgba,
                 std::string* error);

}  // namespace kubelmar
