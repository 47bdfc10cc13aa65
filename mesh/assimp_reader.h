#pragma once

#include <string>

#include "mesh/load_limits.h"
#include "mesh/mesh.h"
#include "mesh/obj_reader.h"

namespace kubelmar {

// Reads STL, PLY, glTF 2.0 / GLB, 3MF or OFF through Open Asset Import into
// `mesh` (cleared by the caller), in file units: every part with its node
// transform applied, triangles only (points and lines are dropped, polygons
// fanned), vertices shared where the file repeats them. Colour: vertex
// colours (PLY, glTF COLOR_0) as mesh.colors, times a
// glTF base colour factor; materials (glTF base colour, 3MF base materials)
// and their base colour / diffuse textures, embedded (GLB) or beside the
// file. What the file declares is checked against `limits` before the
// importer sees it, and the files it references are opened only where
// `limits` allow (one warning each that is refused). Runs in this process:
// see isolated_read.h for the way the load sequence calls it. Prints
// nothing; the log holds "Opening: <path>".
ObjReadResult readWithAssimp(Mesh& mesh, const std::string& path, const LoadLimits& limits = LoadLimits());

}  // namespace kubelmar
