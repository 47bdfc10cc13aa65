#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kubelmar {

// Checks of what a mesh file declares (element counts, buffer lengths,
// archive entry sizes) against what the file can hold and what the memory
// budget allows, made before any parser allocates for them. Each returns an
// empty string when the file may go on to its reader, else the one-line
// reason (without the file name). Files that don't parse far enough to
// declare anything pass: their reader reports them.

// Rough cost in memory of one element, across the third-party reader, the
// conversion and the prepared Mesh (bytes); declared counts are multiplied
// by these before they are compared with the budget.
constexpr std::uint64_t kBytesPerVertex = 160;
constexpr std::uint64_t kBytesPerFace = 96;
constexpr std::uint64_t kBytesPerStlTriangle = 256;  // three unshared corners, a normal, a face
// XML text expands about this much in the DOM the 3MF reader builds.
constexpr std::uint64_t kXmlExpansion = 4;
// Entries of a mesh archive that compress better than this are refused
// (beyond kRatioFloorBytes): XML of real meshes packs 3:1 to 20:1, a
// decompression bomb near deflate's limit of 1032:1.
constexpr std::uint64_t kMaxCompressionRatio = 100;
constexpr std::uint64_t kRatioFloorBytes = std::uint64_t{1} << 20;

// A PLY header (`bytes` from the file's start, at least through
// "end_header" where the file has it) of a file of `fileSize` bytes. A
// header without an "end_header" line is refused: the importer would read
// on for ever. Counts are read as the importer reads them, from the digits
// a word starts with.
std::string checkPlyDeclaredSizes(std::string_view bytes, std::uint64_t fileSize, std::uint64_t budget);

// The first 84 bytes (or fewer) of an STL file of `fileSize` bytes.
std::string checkStlDeclaredSizes(std::string_view head, std::uint64_t fileSize, std::uint64_t budget);

// The start of an OFF file (through its counts line) of `fileSize` bytes.
std::string checkOffDeclaredSizes(std::string_view head, std::uint64_t fileSize, std::uint64_t budget);

// glTF JSON text: accessor counts and buffer lengths (declared and inline
// base64 data), without parsing the document.
std::string checkGltfDeclaredSizes(std::string_view json, std::uint64_t budget);

// The whole of a binary glTF (GLB): its chunk lengths, then its JSON.
std::string checkGlbDeclaredSizes(std::string_view bytes, std::uint64_t budget);

// A zip archive's central directory (read from the file at `path`): each
// entry's uncompressed size and compression ratio, and their sum.
std::string checkZipDeclaredSizes(const std::string& path, std::uint64_t budget);

// The check for the file at `path` by its signature or extension (PLY, STL,
// OFF, glTF, GLB, 3MF), after its own size against `budget`.
std::string checkDeclaredSizes(const std::string& path, std::uint64_t budget);

}  // namespace kubelmar
