#include "formats/volume_json.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "io/checked_file.h"
#include "formats/json_string.h"
#include "formats/number_text.h"

namespace kubelmar {

namespace {

template <typename T>
std::string triple(const std::array<T, 3>& v) {
    std::string out = "[";
    for (int a = 0; a < 3; ++a) {
        if constexpr (std::is_integral_v<T>)
            out += std::to_string(v[a]);
        else
            out += numberText(v[a]);
        out += a < 2 ? ", " : "]";
    }
    return out;
}

// "palette": the materials in index order, each with its sRGB (null when
// clear), its pixel in the slices and how many voxels it got.
std::string paletteJson(const MaterialPalette& palette, const std::vector<std::uint64_t>& counts) {
    std::string text = "  \"palette\": {\n    \"name\": " + jsonString(palette.name) + ",\n    \"materials\": [\n";
    for (std::size_t m = 0; m < palette.materials.size(); ++m) {
        const PrintMaterial& material = palette.materials[m];
        const std::array<std::uint8_t, 4> pixel = materialPixel(material);
        std::string srgb = "null";
        if (!material.clear)
            srgb = triple(std::array<int, 3>{material.srgb[0], material.srgb[1], material.srgb[2]});
        text += "      {\"name\": " + jsonString(material.name) + ", \"srgb\": " + srgb + ", \"pixel\": [" +
                std::to_string(pixel[0]) + ", " + std::to_string(pixel[1]) + ", " + std::to_string(pixel[2]) + ", " +
                std::to_string(pixel[3]) + "], \"voxels\": " + std::to_string(m < counts.size() ? counts[m] : 0) + "}" +
                (m + 1 < palette.materials.size() ? ",\n" : "\n");
    }
    return text + "    ]\n  },\n";
}

}  // namespace

std::string signedAxisName(SignedAxis axis) {
    return std::string(axis.sign < 0 ? "-" : "+") + "xyz"[axis.axis % 3];
}

std::string volumeJsonText(const VolumeDescription& d) {
    const VolumeInfo& info = d.info;
    const bool colour = info.encoding == SliceEncoding::Colour;
    const bool materials = info.encoding == SliceEncoding::Material;
    std::string files = "[";
    for (std::size_t n = 0; n < d.files.size(); ++n) files += (n ? ", " : "") + jsonString(d.files[n]);
    files += "]";
    std::string text = "{\n";
    text += "  \"formatVersion\": 1,\n";
    text += "  \"program\": \"kubelmar\",\n";
    text += "  \"programVersion\": " + jsonString(d.programVersion) + ",\n";
    text += "  \"source\": " + jsonString(info.sourcePath) + ",\n";
    text += "  \"mode\": " + jsonString(modeName(info.mode)) + ",\n";
    text += "  \"units\": " + jsonString(info.unit.empty() ? "mesh file units" : info.unit) + ",\n";
    text += "  \"unit\": " + (info.unit.empty() ? std::string("null") : jsonString(info.unit)) + ",\n";
    text += "  \"scale\": " + numberText(info.scale) + ",\n";
    text += "  \"shape\": " + jsonString(info.cube ? "cube" : "box") + ",\n";
    if (!info.preset.empty()) text += "  \"preset\": " + jsonString(info.preset) + ",\n";
    text += "  \"size\": " + std::to_string(info.size) + ",\n";
    text += "  \"dims\": " + triple(info.dims) + ",\n";
    // The scalar is kept for cubic voxels (readers of the cube rely on it);
    // voxelEdge always gives x, y and z.
    text += "  \"voxelSize\": " +
            (info.cubicVoxels() && info.voxelSize > 0 ? numberText(info.voxelSize) : std::string("null")) + ",\n";
    text += "  \"voxelEdge\": " + triple(info.edge) + ",\n";
    text += "  \"encoding\": " + jsonString(colour ? "colour" : materials ? "materials" : "occupancy") + ",\n";
    text += "  \"stack\": {\n";
    text += "    \"origin\": " + triple(info.origin) + ",\n";
    text += "    \"width\": " + std::to_string(info.width()) + ",\n";
    text += "    \"height\": " + std::to_string(info.height()) + ",\n";
    text += "    \"slices\": " + std::to_string(info.slices()) + ",\n";
    text += "    \"slice\": " + jsonString(signedAxisName(info.sliceAxis)) + ",\n";
    text += "    \"row\": " + jsonString(signedAxisName(info.rowAxis)) + ",\n";
    text += "    \"column\": " + jsonString(signedAxisName(info.columnAxis)) + ",\n";
    text += "    \"emptyVoxel\": " + std::string(colour ? "[0, 0, 0, 255]" : "[0, 0, 0, 0]") + ",\n";
    text += "    \"filledVoxel\": " +
            (materials ? jsonString("its material's pixel (palette)")
                       : jsonString(colour ? "opaque colour, R + G + B > 0" : "[255, 255, 255, 255]")) +
            "\n";
    text += "  },\n";
    text += "  \"grid\": {\n";
    text += "    \"index\": [\"+x\", \"+y\", \"+z\"],\n";
    text += "    \"dims\": " + triple(d.grid.dims) + ",\n";
    text += "    \"origin\": " + triple(d.grid.origin) + ",\n";
    text += "    \"voxelEdge\": " + triple(d.grid.edge) + ",\n";
    text += "    \"firstVoxel\": " + triple(d.grid.low) + ",\n";
    text += "    \"cropped\": " + std::string(d.cropped ? "true" : "false") + ",\n";
    text += "    \"emptyVoxel\": 0,\n";
    text += "    \"filledVoxel\": 1\n";
    text += "  },\n";
    text += "  \"filledVoxels\": " + std::to_string(d.filledVoxels) + ",\n";
    if (materials) text += paletteJson(info.palette, d.materialVoxels);
    text += "  \"files\": " + files + "\n";
    text += "}\n";
    return text;
}

WriteResult writeVolumeJson(const std::string& path, const VolumeDescription& description) {
    if (const IoResult written = writeWholeFile(path, volumeJsonText(description)); !written.ok)
        return writeFailure(written.path, written.reason);
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

VolumeJsonConsumer::VolumeJsonConsumer(std::string directory, std::string programVersion,
                                       std::vector<std::string> files, bool cropped)
    : directory_(std::move(directory)) {
    description_.programVersion = std::move(programVersion);
    description_.files = std::move(files);
    description_.cropped = cropped;
}

WriteResult VolumeJsonConsumer::begin(const VolumeInfo& info) {
    description_.info = info;
    description_.grid = description_.cropped ? croppedGrid(info) : fullGrid(info);
    description_.filledVoxels = 0;
    description_.materialVoxels.assign(info.palette.materials.size(), 0);
    materialWords_.clear();
    for (const PrintMaterial& material : info.palette.materials) {
        const std::array<std::uint8_t, 4> pixel = materialPixel(material);
        std::uint32_t word;
        std::memcpy(&word, pixel.data(), 4);
        materialWords_.push_back(word);
    }
    return {};
}

WriteResult VolumeJsonConsumer::slice(int, const std::uint8_t* rgba) {
    const std::size_t pixels = description_.info.slicePixels();
    description_.filledVoxels += countFilledVoxels(rgba, pixels, description_.info.encoding);
    if (description_.info.encoding == SliceEncoding::Material) {
        // Palettes are short: a scan of the words beats a map.
        std::uint32_t last = 0;
        std::size_t lastMaterial = materialWords_.size();
        for (std::size_t p = 0; p < pixels; ++p) {
            std::uint32_t word;
            std::memcpy(&word, rgba + 4 * p, 4);
            if (word == 0) continue;
            if (word != last || lastMaterial == materialWords_.size()) {
                last = word;
                lastMaterial = std::find(materialWords_.begin(), materialWords_.end(), word) - materialWords_.begin();
            }
            if (lastMaterial < materialWords_.size()) ++description_.materialVoxels[lastMaterial];
        }
    }
    return {};
}

WriteResult VolumeJsonConsumer::sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) {
    // Materials are tallied over the whole slice.
    if (description_.info.encoding == SliceEncoding::Material) return slice(s, rgba);
    description_.filledVoxels += countFilledVoxels(rgba, description_.info.width(), rows, description_.info.encoding);
    return {};
}

WriteResult VolumeJsonConsumer::end() {
    std::string path = directory_;
    if (!path.empty() && path.back() != '/') path += '/';
    return writeVolumeJson(path + std::string(kVolumeJsonName), description_);
}

}  // namespace kubelmar
