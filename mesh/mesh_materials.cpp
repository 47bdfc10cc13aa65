// Faces with materials: one vertex per (position, texture coordinate,
// material) the corners use, and the colour-source chain the drawer follows.
#include <cassert>
#include <cstddef>
#include <utility>

#include "mesh/colour_source.h"
#include "mesh/mesh.h"

namespace kubelmar {

bool parseColourSource(const std::string& text, ColourSource& out) {
    for (const ColourSource s : {ColourSource::Auto, ColourSource::Texture, ColourSource::Material, ColourSource::Vertex}) {
        if (text == colourSourceName(s)) {
            out = s;
            return true;
        }
    }
    return false;
}

const char* colourSourceName(ColourSource source) {
    switch (source) {
        case ColourSource::Texture: return "texture";
        case ColourSource::Material: return "material";
        case ColourSource::Vertex: return "vertex";
        case ColourSource::Auto: break;
    }
    return "auto";
}

void Mesh::buildWithMaterials(const std::vector<Float3>& positionList, const std::vector<Rgba>& colorList,
                              const std::vector<TexCoord>& texCoordList, const std::vector<int>& faceIndexList,
                              const std::vector<int>& cornerTexCoords, const std::vector<int>& faceMaterials,
                              std::vector<Material> materialList, std::vector<Texture> textureList) {
    build(positionList, {}, colorList, {}, faceIndexList);
    assert(cornerTexCoords.size() == faceIndexList.size() && faceMaterials.size() * 3 == faceIndexList.size());
    bool anyMaterial = false;
    for (const int m : faceMaterials) anyMaterial = anyMaterial || m >= 0;
    // Files whose faces name no material keep exactly the plain mesh.
    if (!anyMaterial) return;

    const std::size_t n = positions.size();
    vertexMaterial.assign(n, -1);
    vertexTexture.assign(n, -1);
    texCoords.assign(n, {0.0f, 0.0f});
    std::vector<int> cornerKey(n, -2);  // texture-coordinate index a vertex was made for; -2 unused
    std::vector<int> nextSame(n, -1);   // further vertices at the same position

    for (std::size_t f = 0; f < faces.size(); ++f) {
        const int m = faceMaterials[f];
        assert(m < static_cast<int>(materialList.size()));
        int texture = m >= 0 ? materialList[static_cast<std::size_t>(m)].texture : -1;
        for (std::size_t k = 0; k < 3 && texture >= 0; ++k) {
            if (cornerTexCoords[3 * f + k] < 0) texture = -1;  // a corner without a coordinate
        }
        for (std::size_t k = 0; k < 3; ++k) {
            const int t = texture >= 0 ? cornerTexCoords[3 * f + k] : -1;
            int v = faces[f].index[k];
            // Position p's vertex is p itself when first used; others chain on.
            if (cornerKey[static_cast<std::size_t>(v)] != -2) {
                int found = -1;
                for (int c = v; c >= 0; c = nextSame[static_cast<std::size_t>(c)]) {
                    const auto cu = static_cast<std::size_t>(c);
                    if (cornerKey[cu] == t && vertexMaterial[cu] == m) {
                        found = c;
                        break;
                    }
                    v = c;  // ends on the chain's last vertex
                }
                if (found < 0) {
                    found = static_cast<int>(positions.size());
                    nextSame[static_cast<std::size_t>(v)] = found;
                    const std::size_t p = static_cast<std::size_t>(faces[f].index[k]);
                    positions.push_back(positions[p]);
                    normals.push_back(Float3{});
                    colors.push_back(colors[p]);
                    vertexMaterial.push_back(-1);
                    vertexTexture.push_back(-1);
                    texCoords.push_back({0.0f, 0.0f});
                    cornerKey.push_back(-2);
                    nextSame.push_back(-1);
                }
                v = found;
            }
            const auto vu = static_cast<std::size_t>(v);
            if (cornerKey[vu] == -2) {
                cornerKey[vu] = t;
                vertexMaterial[vu] = m;
                vertexTexture[vu] = t >= 0 ? texture : -1;
                if (t >= 0) {
                    texCoords[vu] = texCoordList[static_cast<std::size_t>(t)];
                }
            }
            faces[f].index[k] = v;
        }
    }
    vertexCount = static_cast<int>(positions.size());
    materials = std::move(materialList);
    textures = std::move(textureList);
}

ColourSource bestColourSource(const Mesh& mesh) {
    for (const int t : mesh.vertexTexture) {
        if (t >= 0) return ColourSource::Texture;
    }
    for (const int m : mesh.vertexMaterial) {
        if (m >= 0 && mesh.materials[static_cast<std::size_t>(m)].hasDiffuse) return ColourSource::Material;
    }
    return ColourSource::Vertex;
}

int vertexTextureFor(const Mesh& mesh, std::size_t vertex, ColourSource source) {
    if (source != ColourSource::Auto && source != ColourSource::Texture) return -1;
    return vertex < mesh.vertexTexture.size() ? mesh.vertexTexture[vertex] : -1;
}

Rgba vertexColourFor(const Mesh& mesh, std::size_t vertex, ColourSource source) {
    // A textured vertex draws the texture alone; white keeps it unchanged.
    if (vertexTextureFor(mesh, vertex, source) >= 0) return kOpaqueWhite;
    if (source != ColourSource::Vertex && vertex < mesh.vertexMaterial.size()) {
        const int m = mesh.vertexMaterial[vertex];
        if (m >= 0 && mesh.materials[static_cast<std::size_t>(m)].hasDiffuse) {
            const float* kd = mesh.materials[static_cast<std::size_t>(m)].diffuse;
            return {kd[0], kd[1], kd[2], 1.0f};
        }
    }
    // The vertex colours, white where the file gave none.
    return mesh.colors[vertex];
}

}  // namespace kubelmar
