#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mesh/mesh.h"
#include "mesh/obj_reader.h"
#include "mesh/texture_image.h"

namespace kubelmar {

// A reader's result and mesh as bytes, for handing them from the process
// that read the file to the one that asked: native byte order and sizes
// (both ends are the same program).
std::string encodeReadResult(const ObjReadResult& result, const Mesh& mesh);

// The reverse. False when `bytes` is not a whole, consistent encoding (every
// length is checked against the bytes present before anything is
// allocated); `result` and `mesh` are then unspecified.
bool decodeReadResult(std::string_view bytes, ObjReadResult& result, Mesh& mesh);

// One texture load's outcome as bytes, all but its texels (which travel
// apart); records of several follow one another.
std::string encodeTextureRecord(const TextureLoadResult& result);

// Takes one record off the front of `bytes`, texels left empty. False, with
// `bytes` as it was, when the record there is incomplete or inconsistent.
bool decodeTextureRecord(std::string_view& bytes, TextureLoadResult& result);

}  // namespace kubelmar
