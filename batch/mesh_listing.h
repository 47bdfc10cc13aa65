#pragma once

#include <string>
#include <vector>

namespace kubelmar {

// A mesh entry of a batch folder that can't be read: a dangling symbolic
// link, a link loop, a file whose type can't be found.
struct UnreadableEntry {
    std::string path;    // absolute, as in the file list
    std::string reason;  // e.g. "Too many levels of symbolic links"
    // Not a file at all (a FIFO, a device, a socket): passed over, not
    // failed.
    bool notAFile = false;
};

// The mesh files of `directory`, as absolute paths: names ending in an
// extension the loader reads (supportedMeshExtensions: .obj, .stl, .ply,
// .gltf, .glb, .3mf, .off) in any letter case, regular files only
// (directories named so and hidden entries are left out), sorted by name
// without regard to case.
// Entries with such a name that can't be read go to `unreadable` (same
// order) so the caller counts each as a failed file instead of losing it.
// Returns false with a reason when the directory can't be listed.
bool listMeshFiles(const std::string& directory, std::vector<std::string>& files,
                  std::vector<UnreadableEntry>& unreadable, std::string* error);

// Output directory of one batch file: the path without its final mesh
// extension (any case) plus "/": /my.objects/chair.obj -> /my.objects/chair/,
// MODEL.STL -> MODEL/.
std::string batchOutputDirectory(const std::string& meshPath);

// Orders names as the listing does: case-insensitive, ties case-sensitive.
bool batchNameLess(const std::string& a, const std::string& b);

}  // namespace kubelmar
