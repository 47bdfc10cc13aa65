// The limits of one load: defaults and the size syntax of --max-memory.
#include "mesh/load_limits.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kubelmar {

std::uint64_t LoadLimits::defaultMemoryBudget() {
    constexpr std::uint64_t kCap = std::uint64_t{8} << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t{2} << 30;
    const std::uint64_t physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::min(physical / 2, kCap);
}

bool parseByteSize(std::string_view text, std::uint64_t& bytes) {
    std::size_t i = 0;
    std::uint64_t value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
        ++i;
    }
    if (i == 0) return false;
    std::string suffix;
    for (; i < text.size(); ++i) suffix += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    int shift = 0;
    if (!suffix.empty() && suffix != "B") {
        const std::string_view units = "KMGT";
        const std::size_t unit = units.find(suffix[0]);
        const std::string_view rest = std::string_view(suffix).substr(1);
        if (unit == std::string_view::npos || !(rest.empty() || rest == "B" || rest == "IB")) return false;
        shift = 10 * static_cast<int>(unit + 1);
    }
    if (value == 0 || value > (UINT64_MAX >> shift)) return false;
    bytes = value << shift;
    return true;
}

std::string describeBytes(std::uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    int unit = -1;
    double value = static_cast<double>(bytes);
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (value == static_cast<double>(static_cast<std::uint64_t>(value)))
        std::snprintf(text, sizeof text, "%.0f %s", value, kUnits[unit]);
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

}  // namespace kubelmar
