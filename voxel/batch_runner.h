#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "voxel/engine.h"
#include "voxel/progress.h"

namespace kubelmar {

struct BatchResult {
    bool listed = true;  // false: the directory couldn't be read (see error)
    std::string error;
    int done = 0;
    std::vector<std::string> failures;  // "<file>: <reason>", in batch order
};

// Voxelizes every OBJ file of `directory` (listing and order of
// listObjFiles) with the engine's current mode and size, each into
// batchOutputDirectory(file). A file that can't be read, holds no mesh or
// can't be written is reported on `errors` and the batch goes on. Each file
// done and the closing summary line go to `report`. The engine's GL context
// must be current.
BatchResult runBatch(Engine& engine, const std::string& directory, Progress& progress,
                     std::ostream& report, std::ostream& errors);

}  // namespace kubelmar
