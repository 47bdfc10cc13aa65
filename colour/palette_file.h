#pragma once

#include <string>
#include <vector>

#include "volume/material_palette.h"

namespace kubelmar {

// Palettes as JSON text:
//   {"materials": [{"name": "cyan", "srgb": [0, 140, 190]}, ...,
//                  {"name": "clear", "srgb": null}]}
// Each material has a non-empty name of its own and an "srgb" of three
// integers 0..255, or null for a clear (transparent) material. At least one
// material must be opaque; at most kMaxMaterials in all. '//' and '/* */'
// comments are allowed.

// Parses palette text. False with one line giving the reason (the caller
// names the file) on anything else.
bool parsePalette(const std::string& text, MaterialPalette& palette, std::string* error);

// The built-in palettes (data/palettes.json), by name, in file order.
const std::vector<MaterialPalette>& builtInPalettes();

// A built-in palette's name, or the path of a palette file (read here). False
// with one line naming the file and the reason when the file can't be read
// or is no palette.
bool loadPalette(const std::string& nameOrPath, MaterialPalette& palette, std::string* error);

// "cmyk, rgb": the built-in names, for help texts and messages.
std::string builtInPaletteNames();

}  // namespace kubelmar
