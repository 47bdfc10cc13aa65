#pragma once

#include <charconv>
#include <string>

namespace kubelmar {

// Shortest decimal text that reads back to the same double ("0.5", "1e-07").
inline std::string numberText(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The same for a single-precision value, e.g. the engine's voxel size.
inline std::string numberText(float value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace kubelmar
