#pragma once

#include <assimp/DefaultIOSystem.h>

#include <set>
#include <string>

#include "base/diagnostic.h"
#include "mesh/reference_root.h"

namespace kubelmar {

// The file access Open Asset Import gets for one mesh: the mesh file itself,
// and the files it references (glTF buffers, OBJ material libraries, ...)
// only where `root` allows and only when no larger than `maxBytes`. Each
// refused reference adds one warning to `warnings`, naming the mesh file.
class ConfinedIOSystem : public Assimp::DefaultIOSystem {
public:
    ConfinedIOSystem(const std::string& meshPath, const ReferenceRoot& root, std::uint64_t maxBytes, Diagnostics& warnings);

    bool Exists(const char* file) const override;
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;

    // How many references were refused so far.
    std::size_t refusedCount() const { return refused_.size(); }

private:
    // Empty when `file` may be opened; else why not.
    std::string refusal(const std::string& file) const;
    std::string written(const std::string& file) const;

    std::string meshPath_;
    std::string meshResolved_;
    std::string meshFolder_;  // as the reader joins it to references, with '/'
    const ReferenceRoot& root_;
    std::uint64_t maxBytes_;
    Diagnostics& warnings_;
    std::set<std::string> refused_;
};

}  // namespace kubelmar
