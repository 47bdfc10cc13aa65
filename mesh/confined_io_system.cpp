// Open Asset Import's file access, confined to the reference root.
#include "mesh/confined_io_system.h"

#include <sys/stat.h>

#include <filesystem>

#include "mesh/load_limits.h"

namespace kubelmar {

ConfinedIOSystem::ConfinedIOSystem(const std::string& meshPath, const ReferenceRoot& root, std::uint64_t maxBytes,
                                   Diagnostics& warnings)
    : meshPath_(meshPath),
      meshResolved_(ReferenceRoot::resolved(meshPath)),
      meshFolder_(std::filesystem::path(meshPath).parent_path().string()),
      root_(root),
      maxBytes_(maxBytes),
      warnings_(warnings) {
    if (!meshFolder_.empty() && meshFolder_.back() != '/') meshFolder_ += '/';
}

std::string ConfinedIOSystem::written(const std::string& file) const {
    // The readers join a reference to the mesh's folder; the part after it
    // is what the file wrote.
    if (!meshFolder_.empty() && file.compare(0, meshFolder_.size(), meshFolder_) == 0) return file.substr(meshFolder_.size());
    return file;
}

std::string ConfinedIOSystem::refusal(const std::string& file) const {
    const std::string full = ReferenceRoot::resolved(file);
    if (full == meshResolved_) return {};
    if (std::string reason = root_.refusal(written(file), file); !reason.empty()) return reason;
    struct stat info {};
    if (::stat(full.c_str(), &info) == 0 && static_cast<std::uint64_t>(info.st_size) > maxBytes_)
        return "is " + std::to_string(info.st_size) + " bytes, more than the memory limit of " + describeBytes(maxBytes_) +
               " (--max-memory)";
    return {};
}

bool ConfinedIOSystem::Exists(const char* file) const {
    return file && refusal(file).empty() && DefaultIOSystem::Exists(file);
}

Assimp::IOStream* ConfinedIOSystem::Open(const char* file, const char* mode) {
    if (!file || !mode) return nullptr;
    // Reading is all a mesh load does.
    if (std::string(mode).find_first_of("wa+") != std::string::npos) return nullptr;
    if (const std::string reason = refusal(file); !reason.empty()) {
        if (refused_.insert(file).second)
            warnings_.push_back(ReferenceRoot::refusedWarning(meshPath_, 0, "reference", written(file), reason));
        return nullptr;
    }
    // The resolved path, so that the file checked is the file read; the mesh
    // itself as named (it may be a link to an unnamed file).
    const std::string full = ReferenceRoot::resolved(file);
    return DefaultIOSystem::Open(full == meshResolved_ ? file : full.c_str(), mode);
}

}  // namespace kubelmar
