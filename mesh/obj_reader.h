#pragma once

#include <string>
#include <string_view>

#include "mesh/mesh.h"

namespace kubelmar {

struct ObjReadResult {
    bool ok = false;
    // One line naming the file and the reason (and the line number where
    // there is one); empty when ok.
    std::string error;
    // Faces skipped for bad vertex numbers; with the first such line.
    int skippedFaces = 0;
    int firstSkippedLine = 0;
    // One warning line naming file, count and first line; empty if none.
    std::string warning;
};

// Reads an OBJ file into `mesh` (which the caller has cleared). Prints
// "Opening: <path>" to stdout once the file is open; a file that can't be
// opened prints "ERROR: Opening File: <path>" to stderr and returns !ok.
// A warning line is printed to stderr when faces were skipped.
ObjReadResult readOBJ(Mesh& mesh, const std::string& path);

// Parses OBJ text already in memory; `name` is used in messages only.
// Prints nothing.
ObjReadResult parseOBJ(Mesh& mesh, std::string_view text, const std::string& name);

}  // namespace kubelmar
