#pragma once

#include <string>
#include <vector>

namespace kubelmar {

// An OBJ entry of a batch folder that can't be read: a dangling symbolic
// link, a link loop, a file whose type can't be found.
struct UnreadableEntry {
    std::string path;    // absolute, as in the file list
    std::string reason;  // e.g. "Too many levels of symbolic links"
};

// The OBJ files of `directory`, as absolute paths: names ending in ".obj"
// in any letter case, regular files only (directories named *.obj and
// hidden entries are left out), sorted by name without regard to case.
// Entries with such a name that can't be read go to `unreadable` (same
// order) so the caller counts each as a failed file instead of losing it.
// Returns false with a reason when the directory can't be listed.
bool listObjFiles(const std::string& directory, std::vector<std::string>& files,
                  std::vector<UnreadableEntry>& unreadable, std::string* error);

// Output directory of one batch file: the path without its final ".obj"
// extension (any case) plus "/": /my.objects/chair.obj -> /my.objects/chair/,
// MODEL.OBJ -> MODEL/.
std::string batchOutputDirectory(const std::string& objPath);

// Orders names as the listing does: case-insensitive, ties case-sensitive.
bool batchNameLess(const std::string& a, const std::string& b);

}  // namespace kubelmar
