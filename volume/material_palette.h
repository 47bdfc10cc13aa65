#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kubelmar {

// One printing material: an opaque colour (sRGB, 0..255 per channel) or a
// clear (transparent) one, which has no colour of its own.
struct PrintMaterial {
    std::string name;
    bool clear = false;
    std::array<std::uint8_t, 3> srgb = {0, 0, 0};  // meaningless when clear
};

// The materials a printer can put in a voxel, in the order the palette
// names them (a voxel's material index is its place here, 0 .. 254).
struct MaterialPalette {
    std::string name;  // the built-in name or the file it came from
    std::vector<PrintMaterial> materials;

    bool empty() const { return materials.empty(); }
    // The first material called `material`; -1 when none is.
    int find(const std::string& material) const {
        for (std::size_t m = 0; m < materials.size(); ++m)
            if (materials[m].name == material) return static_cast<int>(m);
        return -1;
    }
    // The first clear material; -1 when the palette has none.
    int clearMaterial() const {
        for (std::size_t m = 0; m < materials.size(); ++m)
            if (materials[m].clear) return static_cast<int>(m);
        return -1;
    }
};

// At most this many materials: a voxel's material fits a byte with one
// value left over.
constexpr std::size_t kMaxMaterials = 255;

// How a material's voxel looks in a slice of the material encoding: an
// opaque material is its sRGB colour, opaque; a clear one is half-
// transparent white, which no opaque material and no empty voxel can be.
inline std::array<std::uint8_t, 4> materialPixel(const PrintMaterial& material) {
    if (material.clear) return {255, 255, 255, 128};
    return {material.srgb[0], material.srgb[1], material.srgb[2], 255};
}

}  // namespace kubelmar
