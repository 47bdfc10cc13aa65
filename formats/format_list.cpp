#include "formats/format_list.h"

#include <algorithm>

namespace kubelmar {

bool vdbAvailable() {
#ifdef KUBELMAR_HAVE_OPENVDB
    return true;
#else
    return false;
#endif
}

namespace {

constexpr OutputFormat kAllFormats[] = {OutputFormat::Png, OutputFormat::Binvox, OutputFormat::Nrrd,
                                        OutputFormat::Npy, OutputFormat::Vox,  OutputFormat::Vdb,
                                        OutputFormat::Materials};

std::string validNames() {
    std::string names;
    for (OutputFormat format : kAllFormats) names += std::string(names.empty() ? "" : ", ") + formatName(format);
    return names;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::span<const OutputFormat> allFormats() { return kAllFormats; }

const char* formatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Png: return "png";
        case OutputFormat::Binvox: return "binvox";
        case OutputFormat::Nrrd: return "nrrd";
        case OutputFormat::Npy: return "npy";
        case OutputFormat::Vox: return "vox";
        case OutputFormat::Vdb: return "vdb";
        case OutputFormat::Materials: return "materials";
    }
    return "";
}

bool FormatList::has(OutputFormat format) const {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

FormatList parseFormatList(std::string_view text) {
    FormatList list;
    auto failWith = [&](std::string message) {
        list.ok = false;
        list.error = std::move(message);
        list.formats.clear();
        return list;
    };
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view name = trimmed(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        auto known = std::find_if(std::begin(kAllFormats), std::end(kAllFormats),
                                  [&](OutputFormat f) { return name == formatName(f); });
        if (known == std::end(kAllFormats)) {
            return failWith(name.empty() ? "empty name in format list \"" + std::string(text) +
                                               "\" (valid: " + validNames() + ")"
                                         : "unknown format \"" + std::string(name) +
                                               "\" (valid: " + validNames() + ")");
        }
        if (*known == OutputFormat::Vdb && !vdbAvailable())
            return failWith("format \"vdb\" is not available: this build has no OpenVDB");
        if (!list.has(*known)) list.formats.push_back(*known);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return list;
}

}  // namespace kubelmar
