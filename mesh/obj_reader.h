#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostic.h"
#include "mesh/load_limits.h"
#include "mesh/load_log.h"
#include "mesh/load_progress.h"
#include "mesh/mesh.h"

namespace kubelmar {

struct ObjReadResult {
    bool ok = false;
    // The file, the reason and the line where there is one; meaningful only
    // when !ok.
    Diagnostic error;
    // Faces skipped for bad vertex numbers; with the first such line.
    int skippedFaces = 0;
    int firstSkippedLine = 0;
    // One line each, naming the file (OBJ, MTL or texture) and line: skipped
    // faces, texture indices past the last vt, material files or textures
    // that can't be read, undefined materials. Loading went on regardless.
    Diagnostics warnings;
    // Console lines: "Opening: <path>" (Out) once the file is open, or
    // "ERROR: Opening File: <path>" (Err) when it can't be.
    LoadLog log;
};

// Reads an OBJ file into `mesh` (which the caller has cleared), with the
// material libraries it names (relative to the OBJ file's folder) and their
// textures, each followed only where `limits` allow. Prints nothing: see
// ObjReadResult::log. `progress`, when given, hears how many bytes of the
// text are parsed (never the end: the caller has more to do).
ObjReadResult readOBJ(Mesh& mesh, const std::string& path, const LoadLimits& limits = LoadLimits(),
                      const LoadProgress& progress = {});

// Parses OBJ text already in memory. `name` is used in messages, and
// material libraries are looked up relative to its folder.
ObjReadResult parseOBJ(Mesh& mesh, std::string_view text, const std::string& name,
                       const LoadLimits& limits = LoadLimits(), const LoadProgress& progress = {});

}  // namespace kubelmar
