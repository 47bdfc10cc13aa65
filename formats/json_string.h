#pragma once

#include <cstdio>
#include <string>

namespace kubelmar {

// A JSON string literal: quotes, backslashes and control characters escaped;
// other bytes (UTF-8 included) pass through.
inline std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace kubelmar
