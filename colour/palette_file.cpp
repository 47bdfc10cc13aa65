#include "colour/palette_file.h"

#include <cassert>
#include <cctype>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "palettes_data.h"

namespace kubelmar {

namespace {

using Json = nlohmann::json;

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Names become folder names (materials/<name>/): nothing that could leave
// the folder or hide.
bool safeName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.') return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') return false;
    return true;
}

bool readMaterials(const Json& root, MaterialPalette& palette, std::string* error) {
    if (!root.is_object() || !root.contains("materials"))
        return fail(error, "no \"materials\" list (expected {\"materials\": [...]})");
    const Json& list = root["materials"];
    if (!list.is_array()) return fail(error, "\"materials\" is not a list");
    if (list.empty()) return fail(error, "no materials");
    if (list.size() > kMaxMaterials)
        return fail(error, std::to_string(list.size()) + " materials: at most " + std::to_string(kMaxMaterials) +
                               " fit a voxel's byte");
    palette.materials.clear();
    bool opaque = false;
    for (std::size_t m = 0; m < list.size(); ++m) {
        const Json& entry = list[m];
        const std::string which = "material " + std::to_string(m + 1);
        if (!entry.is_object()) return fail(error, which + " is not an object");
        if (!entry.contains("name") || !entry["name"].is_string() || entry["name"].get<std::string>().empty())
            return fail(error, which + " has no name");
        PrintMaterial material;
        material.name = entry["name"].get<std::string>();
        if (!safeName(material.name))
            return fail(error, which + " (\"" + material.name +
                                   "\"): a name is letters, digits, '-', '_' and '.', not starting with '.' "
                                   "(it names the material's folder)");
        if (palette.find(material.name) >= 0) return fail(error, "two materials are called \"" + material.name + "\"");
        const std::string named = which + " (\"" + material.name + "\")";
        if (!entry.contains("srgb")) return fail(error, named + " has no \"srgb\" (null for a clear material)");
        const Json& srgb = entry["srgb"];
        if (srgb.is_null()) {
            material.clear = true;
        } else {
            if (!srgb.is_array() || srgb.size() != 3)
                return fail(error, named + ": \"srgb\" must be three numbers 0..255 or null");
            for (int c = 0; c < 3; ++c) {
                const Json& v = srgb[c];
                if (!v.is_number_integer() || v.get<long long>() < 0 || v.get<long long>() > 255)
                    return fail(error, named + ": colour value " + v.dump() + " is not an integer 0..255");
                material.srgb[c] = static_cast<std::uint8_t>(v.get<long long>());
            }
            opaque = true;
        }
        palette.materials.push_back(std::move(material));
    }
    if (!opaque) return fail(error, "every material is clear: at least one must have a colour");
    return true;
}

}  // namespace

bool parsePalette(const std::string& text, MaterialPalette& palette, std::string* error) {
    const Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/true);
    if (root.is_discarded()) {
        // Parse again with exceptions for the parser's own words (byte offset).
        try {
            const Json again = Json::parse(text, nullptr, true, true);
            (void)again;
        } catch (const Json::parse_error& e) {
            return fail(error, std::string("not valid JSON: ") + e.what());
        }
        return fail(error, "not valid JSON");
    }
    MaterialPalette parsed;
    if (!readMaterials(root, parsed, error)) return false;
    palette.materials = std::move(parsed.materials);
    return true;
}

const std::vector<MaterialPalette>& builtInPalettes() {
    static const std::vector<MaterialPalette> palettes = [] {
        std::vector<MaterialPalette> list;
        const Json root = Json::parse(kPalettesText, nullptr, false, true);
        assert(root.is_object() && "data/palettes.json is malformed");
        for (auto it = root.begin(); it != root.end(); ++it) {
            MaterialPalette palette;
            palette.name = it.key();
            std::string error;
            const bool ok = readMaterials(it.value(), palette, &error);
            assert(ok && "data/palettes.json holds a bad palette");
            if (ok) list.push_back(std::move(palette));
        }
        return list;
    }();
    return palettes;
}

std::string builtInPaletteNames() {
    std::string names;
    for (const MaterialPalette& palette : builtInPalettes()) names += (names.empty() ? "" : ", ") + palette.name;
    return names;
}

bool loadPalette(const std::string& nameOrPath, MaterialPalette& palette, std::string* error) {
    for (const MaterialPalette& builtIn : builtInPalettes()) {
        if (builtIn.name == nameOrPath) {
            palette = builtIn;
            return true;
        }
    }
    std::ifstream file(nameOrPath, std::ios::binary);
    if (!file) {
        const bool looksLikeName = nameOrPath.find('/') == std::string::npos && nameOrPath.find('.') == std::string::npos;
        return fail(error, nameOrPath + ": " +
                               (looksLikeName ? "no such palette (built in: " + builtInPaletteNames() + ") or file"
                                              : std::string("can't open the palette file")));
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return fail(error, nameOrPath + ": can't read the palette file");
    std::string why;
    MaterialPalette loaded;
    if (!parsePalette(text.str(), loaded, &why)) return fail(error, nameOrPath + ": " + why);
    loaded.name = nameOrPath;
    palette = std::move(loaded);
    return true;
}

}  // namespace kubelmar
