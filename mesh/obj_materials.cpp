// An OBJ file's materials: its mtllib files and the textures they name.
#include "mesh/obj_materials.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <map>
#include <utility>

#include "mesh/mtl_reader.h"
#include "mesh/obj_number.h"
#include "mesh/texture_files.h"

namespace kubelmar {

using obj::isBlank;
using obj::skipBlanks;

std::vector<int> loadObjMaterials(const std::string& objPath, const std::vector<NamedLine>& libraries,
                                  const std::vector<NamedLine>& materialNames, std::vector<Material>& materials,
                                  std::vector<Texture>& textures, Diagnostics& warnings, const ReferenceRoot& root,
                                  const LoadLimits& limits, const TextureFileDecoder& decode) {
    std::vector<int> slotMaterial(materialNames.size(), -1);
    if (materialNames.empty()) return slotMaterial;

    // Every library, in the order named; a later definition of a name wins.
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(objPath).parent_path();
    std::map<std::string, MtlMaterial, std::less<>> defined;
    std::map<std::string, std::string, std::less<>> definedIn;  // material -> MTL path
    for (const auto& [written, line] : libraries) {
        // Several names may share a line; a single name may hold blanks.
        // The whole text is tried as one file first.
        std::vector<std::string> files;
        std::error_code ec;
        if (fs::is_regular_file(folder / written, ec)) {
            files.push_back(written);
        } else {
            const char* p = written.data();
            const char* const end = p + written.size();
            while ((p = skipBlanks(p, end)) < end) {
                const char* e = p;
                while (e < end && !isBlank(*e)) ++e;
                files.emplace_back(p, e);
                p = e;
            }
        }
        for (std::string file : files) {
            // Files written on Windows may name their libraries with '\'.
            if (!fs::exists(folder / file, ec) && file.find('\\') != std::string::npos)
                std::replace(file.begin(), file.end(), '\\', '/');
            const std::string path = (folder / file).string();
            if (const std::string refused = root.refusal(file, path); !refused.empty()) {
                warnings.push_back(ReferenceRoot::refusedWarning(objPath, static_cast<int>(std::min<std::int64_t>(line, INT_MAX)),
                                                                 "material library", file, refused));
                continue;
            }
            MtlReadResult mtl = readMTL(path);
            if (!mtl.ok) {
                warnings.push_back(warningAbout(objPath, "material library " + shortenForMessage(mtl.error), line));
                continue;
            }
            warnings.insert(warnings.end(), mtl.warnings.begin(), mtl.warnings.end());
            for (MtlMaterial& m : mtl.materials) {
                definedIn[m.material.name] = path;
                defined[m.material.name] = std::move(m);
            }
        }
    }

    // The texture file of each used material, resolved as its MTL file's
    // folder gives it; empty for none.
    std::vector<std::string> texturePaths(materialNames.size());
    for (std::size_t slot = 0; slot < materialNames.size(); ++slot) {
        const auto it = defined.find(materialNames[slot].first);
        if (it == defined.end() || it->second.texturePath.empty()) continue;
        std::string file = it->second.texturePath;
        const fs::path mtlFolder = fs::path(definedIn[it->first]).parent_path();
        std::error_code ec;
        if (!fs::exists(mtlFolder / file, ec) && file.find('\\') != std::string::npos)
            std::replace(file.begin(), file.end(), '\\', '/');
        texturePaths[slot] = (mtlFolder / file).string();
        // The root decides on the name as written after the separators are
        // mended.
        it->second.texturePath = file;
    }

    // Each file the root allows, once, in order of first use: decoded
    // together, in a child process where the limits ask for one, so that a
    // decoder fault costs a texture and not the load.
    std::map<std::string, std::string, std::less<>> refusals;  // resolved path -> why not
    std::map<std::string, std::size_t, std::less<>> toLoad;    // resolved path -> index in `files`
    std::vector<std::string> files;
    for (std::size_t slot = 0; slot < materialNames.size(); ++slot) {
        const std::string& path = texturePaths[slot];
        if (path.empty() || refusals.count(path) || toLoad.count(path)) continue;
        const std::string& written = defined.find(materialNames[slot].first)->second.texturePath;
        if (std::string refused = root.refusal(written, path); !refused.empty()) {
            refusals.emplace(path, std::move(refused));
        } else {
            toLoad.emplace(path, files.size());
            files.push_back(path);
        }
    }
    std::vector<TextureLoadResult> images = loadTextureFiles(files, kMaxTotalTexturePixels, limits, decode);

    // Materials in order of first use, each texture's warning once.
    std::map<std::string, int, std::less<>> loadedTextures;  // resolved path -> index, -1 failed
    for (std::size_t slot = 0; slot < materialNames.size(); ++slot) {
        const auto& [materialName, line] = materialNames[slot];
        const auto it = defined.find(materialName);
        if (it == defined.end()) {
            warnings.push_back(warningAbout(objPath,
                                            "material '" + shortenForMessage(materialName) + "' is not defined" +
                                                (libraries.empty() ? " (no mtllib line)" : ""),
                                            line));
            continue;
        }
        Material material = it->second.material;
        if (const std::string& path = texturePaths[slot]; !path.empty()) {
            auto found = loadedTextures.find(path);
            if (found == loadedTextures.end()) {
                int index = -1;
                if (const auto refused = refusals.find(path); refused != refusals.end()) {
                    warnings.push_back(ReferenceRoot::refusedWarning(definedIn[materialName], it->second.textureLine,
                                                                     "texture", it->second.texturePath, refused->second));
                } else if (TextureLoadResult& image = images[toLoad.at(path)]; image.ok) {
                    index = static_cast<int>(textures.size());
                    textures.push_back(std::move(image.texture));
                } else {
                    warnings.push_back(warningAbout(definedIn[materialName],
                                                    "texture " + shortenForMessage(path) + ": " + image.reason,
                                                    it->second.textureLine));
                }
                found = loadedTextures.emplace(path, index).first;
            }
            material.texture = found->second;
        }
        slotMaterial[slot] = static_cast<int>(materials.size());
        materials.push_back(std::move(material));
    }
    return slotMaterial;
}

}  // namespace kubelmar
