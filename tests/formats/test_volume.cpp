#include "test_volume.h"

#include <filesystem>
#include <fstream>
#include <iterator>


namespace kubelmar::test {

VoxelSet lShape() {
    return {{0, 0, 0, 0x102030}, {1, 0, 0, 0x405060}, {2, 0, 0, 0x708090},
            {0, 1, 0, 0xA0B0C0}, {0, 2, 0, 0xD0E0F0}, {0, 0, 1, 0x01FF7F}};
}

VoxelSet whiteCopy(const VoxelSet& voxels) {
    VoxelSet white;
    for (Voxel v : voxels) {
        v.rgb = 0xFFFFFF;
        white.insert(v);
    }
    return white;
}

VolumeInfo volumeInfo(Layout layout, SliceEncoding encoding, int n) {
    VolumeInfo info;
    setCubeGrid(info, n, 0.5f);
    info.encoding = encoding;
    info.mode = layout == Layout::Clipping ? VoxelMode::Clipping : VoxelMode::DepthBuffer;
    info.sourcePath = "meshes/ell.obj";
    info.voxelSize = 0.5f;
    info.origin = {-1.0, 2.0, 10.0};
    info.meshLow = info.origin;
    for (int a = 0; a < 3; ++a) info.meshHigh[a] = info.origin[a] + 0.5 * n;
    if (layout == Layout::Clipping) {
        info.sliceAxis = {1, -1};
        info.rowAxis = {0, 1};
        info.columnAxis = {2, 1};
    } else {
        info.sliceAxis = {2, 1};
        info.rowAxis = {1, -1};
        info.columnAxis = {0, -1};
    }
    return info;
}

VolumeInfo anisotropicInfo(Layout layout, SliceEncoding encoding) {
    VolumeInfo info = volumeInfo(layout, encoding, 5);
    info.cube = false;
    info.dims = {4, 3, 5};
    info.edge = {0.5, 0.25, 1.0};
    info.voxelSize = 0.0f;
    info.size = 5;
    info.unit = "mm";
    for (int a = 0; a < 3; ++a) info.meshHigh[a] = info.origin[a] + info.dims[a] * info.edge[a];
    return info;
}

WriteResult feed(SliceConsumer& consumer, const VolumeInfo& info, const VoxelSet& voxels) {
    WriteResult result = consumer.begin(info);
    if (!result.ok) return result;
    const int width = info.width();
    std::vector<std::uint8_t> pixels(info.slicePixels() * 4);
    for (int s = 0; s < info.slices(); ++s) {
        std::fill(pixels.begin(), pixels.end(), 0);
        for (const Voxel& v : voxels) {
            // Stack index of a voxel along a signed axis, worked out here
            // rather than with the library's own mapping.
            const int g[3] = {v.i, v.j, v.k};
            auto stackIndex = [&](SignedAxis a) { return a.sign > 0 ? g[a.axis] : info.dims[a.axis] - 1 - g[a.axis]; };
            if (stackIndex(info.sliceAxis) != s) continue;
            const int r = stackIndex(info.rowAxis);
            const int c = stackIndex(info.columnAxis);
            std::uint8_t* p = &pixels[4 * (static_cast<std::size_t>(r) * width + c)];
            if (info.encoding == SliceEncoding::Colour) {
                p[0] = v.rgb >> 16 & 0xFF, p[1] = v.rgb >> 8 & 0xFF, p[2] = v.rgb & 0xFF;
            } else {
                p[0] = p[1] = p[2] = 255;
            }
            p[3] = 255;
        }
        if (info.encoding == SliceEncoding::Colour)
            for (std::size_t p = 3; p < pixels.size(); p += 4) pixels[p] = 255;  // empty: opaque black
        result = consumer.slice(s, pixels.data());
        if (!result.ok) {
            consumer.abort();
            return result;
        }
    }
    result = consumer.end();
    if (!result.ok) consumer.abort();
    return result;
}

std::string freshDirectory(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / "kubelmar_formats_tests" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string caseName(const Case& c) {
    return std::string(c.layout == Layout::Clipping ? "Clipping" : "Depth") +
           (c.encoding == SliceEncoding::Colour ? "Colour" : "Occupancy");
}

}  // namespace kubelmar::test
