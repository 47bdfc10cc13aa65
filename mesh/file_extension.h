#pragma once

#include <cctype>
#include <string>

namespace kubelmar {

// The extension of a file name in lower case with its dot (".obj"), or empty
// when the last path component has none. The readers are chosen by it.
inline std::string meshFileExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace kubelmar
