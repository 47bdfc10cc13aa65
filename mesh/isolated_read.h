#pragma once

#include <functional>
#include <string>

#include "mesh/load_limits.h"
#include "mesh/mesh.h"
#include "mesh/obj_reader.h"

namespace kubelmar {

// readWithAssimp in a child process, so that the third-party parser can't
// take this one down: the child runs under an address-space limit of
// limits.maxMemoryBytes beyond what it inherits and is stopped after
// limits.maxReadSeconds; its result comes back through a pipe, and no more
// than the budget of it is accepted. A crash, an abort, a hang, running out
// of memory or a garbled reply become the result's error, naming the file.
// The same result as readWithAssimp otherwise. Safe to call from a forked
// worker; threads of the caller other than this one are not copied.
ObjReadResult readWithAssimpIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits);

// Any reader of the file at `path` run the same way: `read` runs in the
// child and fills the mesh it is given.
using MeshReadFunction = std::function<ObjReadResult(Mesh&)>;
ObjReadResult readIsolated(Mesh& mesh, const std::string& path, const LoadLimits& limits, const MeshReadFunction& read);

}  // namespace kubelmar
