#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kubelmar::test {

// Writes width x height RGBA pixels (top row first, as image files store
// them) as a PNG, or as a JPEG of the best quality; returns `path`.
std::string writeTestPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);
std::string writeTestJpeg(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);

// An image of flat colours: `colours` holds one RGBA per cell of a
// columns x rows grid (top row first), each cell `cell` pixels square.
std::vector<std::uint8_t> cellImage(int columns, int rows, int cell, const std::vector<std::uint32_t>& colours);

}  // namespace kubelmar::test
