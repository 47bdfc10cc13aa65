#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "voxel/progress.h"

namespace kubelmar {

struct BatchResult {
    bool listed = true;  // false: the directory couldn't be read (see error)
    std::string error;
    int done = 0;
    std::vector<std::string> failures;  // "<file>: <reason>", in batch order
};

// Makes the consumer that writes the volume of mesh file `meshPath` into
// `directory`.
using ConsumerFactory =
    std::function<std::unique_ptr<SliceConsumer>(const std::string& directory, const std::string& meshPath)>;

// Voxelizes every OBJ file of `directory` (listing and order of
// listObjFiles) with `settings`, each into batchOutputDirectory(file). A file
// that can't be read, holds no mesh or can't be written is reported on
// `errors` and the batch goes on. Each file done and the closing summary line
// go to `report`. The engine's GL context must be current.
BatchResult runBatch(Engine& engine, const RunSettings& settings, const std::string& directory,
                     const ConsumerFactory& makeConsumer, Progress& progress, std::ostream& report,
                     std::ostream& errors);

}  // namespace kubelmar
