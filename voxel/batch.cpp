#include "voxel/batch.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kubelmar {

namespace fs = std::filesystem;

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool hasObjExtension(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return lower(tail[0]) == '.' && lower(tail[1]) == 'o' && lower(tail[2]) == 'b' &&
           lower(tail[3]) == 'j';
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

bool listObjFiles(const std::string& directory, std::vector<std::string>& files,
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
    std::vector<std::pair<std::string, std::string>> failed;  // name, reason
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !hasObjExtension(name)) continue;
        // status() follows links: a dangling link (ENOENT) or a loop (ELOOP)
        // fails here, where is_regular_file() would just say "no".
        std::error_code typeError;
        const fs::file_status status = it->status(typeError);
        if (typeError) {
            failed.emplace_back(name, typeError.message());
            continue;
        }
        if (fs::is_regular_file(status)) names.push_back(name);
    }
    if (ec) {
        if (error) *error = ec.message();
        return false;
    }
    std::sort(names.begin(), names.end(), batchNameLess);
    std::sort(failed.begin(), failed.end(), [](const auto& a, const auto& b) { return batchNameLess(a.first, b.first); });
    const fs::path base = fs::absolute(fs::path(directory), ec);
    for (const std::string& name : names) files.push_back((base / name).lexically_normal().string());
    for (const auto& [name, reason] : failed)
        unreadable.push_back({(base / name).lexically_normal().string(), reason});
    return true;
}

std::string batchOutputDirectory(const std::string& objPath) {
    std::string stem = objPath;
    const std::string name = fs::path(objPath).filename().string();
    if (hasObjExtension(name) && name.size() > 4) stem.resize(stem.size() - 4);
    return stem + "/";
}

}  // namespace kubelmar
