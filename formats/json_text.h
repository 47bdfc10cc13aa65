#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "formats/json_string.h"
#include "formats/number_text.h"

namespace kubelmar {

// Small pieces of JSON text for the reports and summaries runs write.

// A string, or null when empty.
inline std::string jsonStringOrNull(const std::string& text) { return text.empty() ? "null" : jsonString(text); }

// Seconds rounded to the millisecond: reports are read by people too.
inline std::string jsonSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

inline std::string jsonStringList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t k = 0; k < items.size(); ++k) out += (k ? ", " : "") + jsonString(items[k]);
    return out + "]";
}

}  // namespace kubelmar
