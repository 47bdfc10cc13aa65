// Mesh formats other than OBJ, through Open Asset Import.
#include "mesh/assimp_reader.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "mesh/confined_io_system.h"
#include "mesh/declared_sizes.h"
#include "mesh/reference_root.h"
#include "mesh/scene_repair.h"
#include "mesh/texture_image.h"

namespace kubelmar {

namespace {

std::string firstLine(const char* text) {
    std::string s = text ? text : "";
    const std::size_t end = s.find_first_of("\r\n");
    if (end != std::string::npos) s.resize(end);
    return s.empty() ? "unknown reason" : s;
}

class SceneConverter {
public:
    SceneConverter(const aiScene& scene, const std::string& path, const ReferenceRoot& root, ObjReadResult& result)
        : scene_(scene), path_(path), root_(root), result_(result) {}

    // Fills `mesh`; false with result_.error when there is too much of it.
    bool convert(Mesh& mesh);

private:
    int material(unsigned index, bool meshHasColours);
    int texture(const aiMaterial& m);
    TextureLoadResult loadEmbedded(const aiTexture& t, const std::string& name);

    const aiScene& scene_;
    const std::string& path_;
    const ReferenceRoot& root_;
    ObjReadResult& result_;
    std::vector<Material> materials_;
    std::vector<Texture> textures_;
    std::map<std::string, int> textureByName_;      // -1: could not be loaded
    std::map<std::pair<unsigned, bool>, int> materialByIndex_;
    long long pixelsLeft_ = kMaxTotalTexturePixels;
};

bool SceneConverter::convert(Mesh& mesh) {
    std::size_t vertexTotal = 0, faceTotal = 0;
    for (unsigned m = 0; m < scene_.mNumMeshes; ++m) {
        vertexTotal += scene_.mMeshes[m]->mNumVertices;
        faceTotal += scene_.mMeshes[m]->mNumFaces;
    }
    if (vertexTotal > static_cast<std::size_t>(INT_MAX) || faceTotal > static_cast<std::size_t>(INT_MAX)) {
        result_.error = errorAbout(path_, "too many vertices or faces");
        return false;
    }
    std::vector<Float3> positions;
    std::vector<Rgba> colours;
    std::vector<int> faces;
    positions.reserve(vertexTotal);
    faces.reserve(3 * faceTotal);
    std::vector<int> vertexMaterial(vertexTotal, -1), vertexTexture(vertexTotal, -1);
    std::vector<std::array<float, 2>> texCoords(vertexTotal, {0.0f, 0.0f});
    bool anyColour = false, anyMaterial = false;

    for (unsigned m = 0; m < scene_.mNumMeshes; ++m) {
        const aiMesh& part = *scene_.mMeshes[m];
        const auto first = static_cast<int>(positions.size());
        const bool hasColours = part.HasVertexColors(0);
        const int mat = material(part.mMaterialIndex, hasColours);
        const int tex = mat >= 0 && part.HasTextureCoords(0) ? materials_[static_cast<std::size_t>(mat)].texture : -1;
        aiColor4D factor(1, 1, 1, 1);
        if (hasColours && scene_.mMaterials && part.mMaterialIndex < scene_.mNumMaterials)
            scene_.mMaterials[part.mMaterialIndex]->Get(AI_MATKEY_BASE_COLOR, factor);
        if (hasColours && !anyColour) {
            colours.assign(positions.size(), kOpaqueWhite);
            anyColour = true;
        }
        for (unsigned v = 0; v < part.mNumVertices; ++v) {
            const aiVector3D& p = part.mVertices[v];
            positions.push_back({p.x, p.y, p.z});
            const std::size_t i = static_cast<std::size_t>(first) + v;
            if (hasColours) {
                // Alpha 0 as for OBJ colour lines, so equal meshes store equal colours.
                const aiColor4D& c = part.mColors[0][v];
                colours.push_back({c.r * factor.r, c.g * factor.g, c.b * factor.b, 0.0f});
            } else if (anyColour) {
                colours.push_back(kOpaqueWhite);
            }
            vertexMaterial[i] = mat;
            if (tex >= 0) {
                vertexTexture[i] = tex;
                texCoords[i] = {part.mTextureCoords[0][v].x, part.mTextureCoords[0][v].y};
            }
        }
        anyMaterial = anyMaterial || mat >= 0;
        for (unsigned f = 0; f < part.mNumFaces; ++f) {
            const aiFace& face = part.mFaces[f];
            if (face.mNumIndices != 3) continue;  // points and lines
            for (unsigned k = 0; k < 3; ++k) faces.push_back(first + static_cast<int>(face.mIndices[k]));
        }
    }

    mesh.build(positions, {}, {}, {}, faces);
    if (anyColour) mesh.colors = std::move(colours);
    if (anyMaterial) {
        mesh.vertexMaterial = std::move(vertexMaterial);
        mesh.vertexTexture = std::move(vertexTexture);
        mesh.texCoords = std::move(texCoords);
        mesh.materials = std::move(materials_);
        mesh.textures = std::move(textures_);
    }
    return true;
}

// Our material for the file's material `index` as used by a part with or
// without vertex colours; -1 where it adds nothing.
int SceneConverter::material(unsigned index, bool meshHasColours) {
    if (!scene_.mMaterials || index >= scene_.mNumMaterials) return -1;
    const auto key = std::make_pair(index, meshHasColours);
    if (const auto it = materialByIndex_.find(key); it != materialByIndex_.end()) return it->second;
    const aiMaterial& source = *scene_.mMaterials[index];
    Material m;
    m.name = source.GetName().C_Str();
    // Formats without materials get a made-up grey one: not the file's colour.
    const bool madeUp = m.name == AI_DEFAULT_MATERIAL_NAME;
    aiColor4D c(1, 1, 1, 1);
    if (!madeUp && !meshHasColours &&
        (source.Get(AI_MATKEY_BASE_COLOR, c) == AI_SUCCESS || source.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS)) {
        m.hasDiffuse = true;
        m.diffuse[0] = c.r;
        m.diffuse[1] = c.g;
        m.diffuse[2] = c.b;
    }
    if (!madeUp) m.texture = texture(source);
    int result = -1;
    if (m.hasDiffuse || m.texture >= 0) {
        result = static_cast<int>(materials_.size());
        materials_.push_back(std::move(m));
    }
    materialByIndex_[key] = result;
    return result;
}

int SceneConverter::texture(const aiMaterial& m) {
    aiString name;
    if (m.GetTexture(aiTextureType_BASE_COLOR, 0, &name) != AI_SUCCESS &&
        m.GetTexture(aiTextureType_DIFFUSE, 0, &name) != AI_SUCCESS)
        return -1;
    const std::string written = name.C_Str();
    if (const auto it = textureByName_.find(written); it != textureByName_.end()) return it->second;

    TextureLoadResult image;
    std::string shown = written;
    if (const aiTexture* embedded = scene_.GetEmbeddedTexture(written.c_str())) {
        shown = path_ + " (embedded " + written + ")";
        image = loadEmbedded(*embedded, shown);
    } else if (written.starts_with("data:")) {
        image.reason = "inline image data that the reader did not decode";
    } else {
        shown = (std::filesystem::path(path_).parent_path() / written).string();
        if (const std::string refused = root_.refusal(written, shown); !refused.empty()) {
            result_.warnings.push_back(ReferenceRoot::refusedWarning(path_, 0, "texture", written, refused));
            textureByName_[written] = -1;
            return -1;
        }
        image = loadTextureFile(shown, pixelsLeft_);
    }
    int index = -1;
    if (image.ok) {
        pixelsLeft_ -= static_cast<long long>(image.texture.width) * image.texture.height;
        index = static_cast<int>(textures_.size());
        textures_.push_back(std::move(image.texture));
    } else {
        result_.warnings.push_back(warningAbout(path_, "texture " + shortenForMessage(shown) + ": " + image.reason));
    }
    textureByName_[written] = index;
    return index;
}

TextureLoadResult SceneConverter::loadEmbedded(const aiTexture& t, const std::string& name) {
    if (t.mHeight == 0)  // compressed: mWidth bytes of a PNG or JPEG file
        return decodeTexture(reinterpret_cast<const std::uint8_t*>(t.pcData), t.mWidth, name, pixelsLeft_);
    TextureLoadResult result;
    if (static_cast<long long>(t.mWidth) * t.mHeight > std::min(pixelsLeft_, kMaxTexturePixels)) {
        result.reason = "the image is too large";
        return result;
    }
    // Raw texels, top row first; kept bottom row first.
    Texture& out = result.texture;
    out.path = name;
    out.width = static_cast<int>(t.mWidth);
    out.height = static_cast<int>(t.mHeight);
    out.rgba.resize(static_cast<std::size_t>(t.mWidth) * t.mHeight * 4);
    for (unsigned y = 0; y < t.mHeight; ++y) {
        for (unsigned x = 0; x < t.mWidth; ++x) {
            const aiTexel& s = t.pcData[static_cast<std::size_t>(y) * t.mWidth + x];
            std::uint8_t* d = &out.rgba[(static_cast<std::size_t>(t.mHeight - 1 - y) * t.mWidth + x) * 4];
            d[0] = s.r;
            d[1] = s.g;
            d[2] = s.b;
            d[3] = s.a;
        }
    }
    result.ok = true;
    return result;
}

}  // namespace

ObjReadResult readWithAssimp(Mesh& mesh, const std::string& path, const LoadLimits& limits) {
    ObjReadResult result;
    if (const std::string reason = checkDeclaredSizes(path, limits.maxMemoryBytes); !reason.empty()) {
        result.error = errorAbout(path, "cannot read mesh: " + reason);
        return result;
    }
    const ReferenceRoot root(path, limits);
    Assimp::Importer importer;
    // The importer owns and deletes the IO system.
    auto* io = new ConfinedIOSystem(path, root, limits.maxMemoryBytes, result.warnings);
    importer.SetIOHandler(io);
    // Lines and points are not surfaces; dropping them here saves a pass.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    // The importers can leave faces without indices (PLY) or naming vertices
    // they never read (OFF), which the post-processing steps assert on and
    // abort: the scene is validated and those faces dropped in between.
    const aiScene* scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (scene) {
        // The importer keeps owning the scene; its post-processing works on it in place.
        dropUnusableFaces(*const_cast<aiScene*>(scene));
        scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                             aiProcess_PreTransformVertices | aiProcess_SortByPType);
    }
    if (!scene) {
        const std::string reason = shortenForMessage(firstLine(importer.GetErrorString()));
        result.error = errorAbout(path, io->refusedCount() > 0 ? "cannot read mesh without the reference refused above (" + reason + ")"
                                                               : "cannot read mesh: " + reason);
        return result;
    }
    result.log.push_back({LoadLogLine::Out, "Opening: " + path});
    SceneConverter converter(*scene, path, root, result);
    if (!converter.convert(mesh)) return result;
    result.ok = true;
    return result;
}

}  // namespace kubelmar
