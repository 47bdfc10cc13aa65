#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/diagnostic.h"
#include "mesh/load_limits.h"
#include "mesh/load_log.h"
#include "mesh/load_progress.h"
#include "mesh/mesh.h"

namespace kubelmar {

struct MeshLoadResult {
    bool ok = false;
    // Warnings (skipped faces, unreadable material files and textures,
    // undefined materials), each naming the file and line where there is
    // one, then the error of a failed load.
    Diagnostics diagnostics;
    // Largest bounding-box side in the file's own units, measured (in double
    // precision) before the mesh is scaled to 2048 units.
    float meshExtent = 0.0f;
    // The mesh's bounding box in the file's own units (x, y, z); zero for an
    // empty mesh.
    std::array<double, 3> fileBoxLow = {0, 0, 0};
    std::array<double, 3> fileBoxHigh = {0, 0, 0};
    // The console lines of the load, in order: "Opening: <path>",
    // "MESH_CENTRE", "MESH_VERTEX_NORMALS" on stdout; "ERROR: Opening File:
    // <path>" on stderr for a file that can't be opened.
    LoadLog log;

    // The failure of a failed load (names the file); null when ok.
    const Diagnostic* error() const { return firstError(diagnostics); }
    // Its text, empty when ok.
    std::string errorText() const { return error() ? error()->text() : std::string(); }
    std::vector<std::string> warningTexts() const { return texts(diagnostics, Diagnostic::Severity::Warning); }
};

// The load sequence: read the file (OBJ with Kubelmar's own reader; STL,
// PLY, glTF/GLB, 3MF and OFF through Open Asset Import; the format by
// signature where it has one, else by extension), measure it (meshExtent,
// file box), scale its largest side to 2048, centre it on the origin and
// compute normals. Prints nothing. On failure `out` is left untouched. A
// file with no usable vertex loads as an empty mesh (ok, with vertexCount
// 0); callers decide whether that is an error. References are followed
// only inside the mesh's folder and the default memory budget applies.
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out);

// As above within `limits`: where references may lead, the memory budget,
// and whether the third-party readers run in a child process.
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, const LoadLimits& limits);

// Which reader takes OBJ files.
enum class ObjReaderChoice { Own, Assimp };

// As above; with ObjReaderChoice::Assimp, OBJ files are read through Open
// Asset Import too (no "vc" lines then; its own handling of faults).
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader);
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader, const LoadLimits& limits);

// As above, telling `progress` how many of the file's bytes are done
// (mesh/load_progress.h); an empty function is never called.
MeshLoadResult loadPreparedMesh(const std::string& path, Mesh& out, ObjReaderChoice objReader, const LoadLimits& limits,
                                const LoadProgress& progress);

// The load sequence after reading, for a mesh built in memory (positions in
// the caller's own units, faces resolved): measure it into result
// (meshExtent, file box), scale and centre it into the frame, compute
// normals, and move it into `out`. False, with the error naming `name` in
// result.diagnostics, for a mesh with no extent or one too large to
// measure; `out` is then left as it was.
bool prepareMesh(Mesh& mesh, const std::string& name, Mesh& out, MeshLoadResult& result);

// The extensions loadPreparedMesh takes, lower case with the dot (".obj",
// ".stl", ...), for file dialogs and batch listings.
const std::vector<std::string>& supportedMeshExtensions();

}  // namespace kubelmar
