#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostic.h"
#include "mesh/material.h"
#include "mesh/load_limits.h"
#include "mesh/reference_root.h"
#include "mesh/texture_files.h"

namespace kubelmar {

// A name as an OBJ line gives it, with that line's number.
using NamedLine = std::pair<std::string, std::int64_t>;

// Reads the material libraries an OBJ file names (`libraries`: the text
// after each mtllib, files relative to the OBJ's folder; several names on a
// line, or one name holding blanks) and loads the textures (relative to
// their MTL file's folder, each file once, within kMaxTotalTexturePixels).
// Appends the materials named by `materialNames` (usemtl names in order of
// first use) to `materials` and their textures to `textures`; returns the
// index in `materials` of each name, or -1. Every file that can't be read,
// texture that can't be loaded and name without a definition adds one
// warning line naming file and line; the rest goes on. Libraries and
// textures that `root` refuses are not opened: one warning each. The
// textures are decoded by `decode` through loadTextureFiles under `limits`
// (in a child process unless the limits turn that off).
std::vector<int> loadObjMaterials(const std::string& objPath, const std::vector<NamedLine>& libraries,
                                  const std::vector<NamedLine>& materialNames, std::vector<Material>& materials,
                                  std::vector<Texture>& textures, Diagnostics& warnings, const ReferenceRoot& root,
                                  const LoadLimits& limits,
                                  const TextureFileDecoder& decode = TextureFileDecoder(loadTextureFile));

}  // namespace kubelmar
