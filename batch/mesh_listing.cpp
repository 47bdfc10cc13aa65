#include "batch/mesh_listing.h"

#include "mesh/mesh_loader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kubelmar {

namespace fs = std::filesystem;

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string fileTypeName(fs::file_type type) {
    switch (type) {
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::block: return "a block device";
    case fs::file_type::character: return "a character device";
    case fs::file_type::socket: return "a socket";
    default: return "not a file";
    }
}

// The length of `name`'s mesh extension (".obj", ".gltf", ...), 0 when it
// has none the loader reads.
std::size_t meshExtensionLength(const std::string& name) {
    for (const std::string& ext : supportedMeshExtensions()) {
        if (name.size() < ext.size()) continue;
        const std::string tail = name.substr(name.size() - ext.size());
        bool same = true;
        for (std::size_t i = 0; i < ext.size(); ++i) same = same && lower(tail[i]) == ext[i];
        if (same) return ext.size();
    }
    return 0;
}

}  // namespace

bool batchNameLess(const std::string& a, const std::string& b) {
    const bool less = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return lower(x) < lower(y); });
    const bool greater = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) { return lower(x) < lower(y); });
    if (less || greater) return less;
    return a < b;
}

bool listMeshFiles(const std::string& directory, std::vector<std::string>& files,
                  std::vector<UnreadableEntry>& unreadable, std::string* error) {
    files.clear();
    unreadable.clear();
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) {
        if (error) *error = ec.message();
        return false;
    }
    std::vector<std::string> names;
    std::vector<UnreadableEntry> failed;  // by name, for now
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || meshExtensionLength(name) == 0) continue;
        // status() follows links: a dangling link (ENOENT) or a loop (ELOOP)
        // fails here, where is_regular_file() would just say "no".
        std::error_code typeError;
        const fs::file_status status = it->status(typeError);
        if (typeError) {
            failed.push_back({name, typeError.message()});
            continue;
        }
        if (fs::is_regular_file(status))
            names.push_back(name);
        else if (!fs::is_directory(status))  // a folder is listed as one, in a recursive batch
            failed.push_back({name, "not a regular file (" + fileTypeName(status.type()) + ")", true});
    }
    if (ec) {
        if (error) *error = ec.message();
        return false;
    }
    std::sort(names.begin(), names.end(), batchNameLess);
    std::sort(failed.begin(), failed.end(), [](const auto& a, const auto& b) { return batchNameLess(a.path, b.path); });
    const fs::path base = fs::absolute(fs::path(directory), ec);
    for (const std::string& name : names) files.push_back((base / name).lexically_normal().string());
    for (UnreadableEntry& entry : failed) {
        entry.path = (base / entry.path).lexically_normal().string();
        unreadable.push_back(std::move(entry));
    }
    return true;
}

std::string batchOutputDirectory(const std::string& meshPath) {
    std::string stem = meshPath;
    const std::string name = fs::path(meshPath).filename().string();
    const std::size_t ext = meshExtensionLength(name);
    if (ext > 0 && name.size() > ext) stem.resize(stem.size() - ext);
    return stem + "/";
}

}  // namespace kubelmar
