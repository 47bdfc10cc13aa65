#include "formats/vox_writer.h"

#include "formats/number_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "io/checked_file.h"
#include "formats/colour_quantiser.h"

namespace kubelmar {

namespace {

constexpr int kModelEdge = 256;  // voxels per axis the format allows in one model

// Little-endian chunk contents.
class Bytes {
public:
    void i32(std::int32_t v) {
        for (int b = 0; b < 4; ++b) data.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * b)));
    }
    void text(const std::string& s) {
        i32(static_cast<std::int32_t>(s.size()));
        data.insert(data.end(), s.begin(), s.end());
    }
    void dict(const std::vector<std::pair<std::string, std::string>>& pairs) {
        i32(static_cast<std::int32_t>(pairs.size()));
        for (const auto& [key, value] : pairs) {
            text(key);
            text(value);
        }
    }
    std::vector<std::uint8_t> data;
};

// A chunk with contents and no children: id, content size, child size 0.
void appendChunk(Bytes& out, const char* id, const std::vector<std::uint8_t>& content) {
    out.data.insert(out.data.end(), id, id + 4);
    out.i32(static_cast<std::int32_t>(content.size()));
    out.i32(0);
    out.data.insert(out.data.end(), content.begin(), content.end());
}

struct Model {
    std::array<int, 3> low{};   // vox coordinates of the tile's first voxel
    std::array<int, 3> size{};  // SIZE: voxels per axis, 1..256
    std::vector<std::uint32_t> voxels;  // x | y << 8 | z << 16 | colour index << 24
};

// Scene graph: node 0 the root transform, node 1 the group, then a transform
// and a shape per model. MagicaVoxel places a model by its centre voxel,
// floor(size / 2), so the translation is low + size / 2.
std::vector<std::uint8_t> sceneChunks(const std::vector<Model>& models) {
    Bytes out;
    const int count = static_cast<int>(models.size());
    Bytes root;
    root.i32(0);
    root.dict({});
    root.i32(1);   // child: the group
    root.i32(-1);  // reserved
    root.i32(-1);  // layer
    root.i32(1);   // frames
    root.dict({});
    appendChunk(out, "nTRN", root.data);
    Bytes group;
    group.i32(1);
    group.dict({});
    group.i32(count);
    for (int m = 0; m < count; ++m) group.i32(2 + 2 * m);
    appendChunk(out, "nGRP", group.data);
    for (int m = 0; m < count; ++m) {
        const Model& model = models[m];
        Bytes transform;
        transform.i32(2 + 2 * m);
        transform.dict({});
        transform.i32(3 + 2 * m);
        transform.i32(-1);
        transform.i32(0);
        transform.i32(1);
        std::string t;
        for (int a = 0; a < 3; ++a) {
            if (a) t += ' ';
            t += std::to_string(model.low[a] + model.size[a] / 2);
        }
        transform.dict({{"_t", t}});
        appendChunk(out, "nTRN", transform.data);
        Bytes shape;
        shape.i32(3 + 2 * m);
        shape.dict({});
        shape.i32(1);
        shape.i32(m);
        shape.dict({});
        appendChunk(out, "nSHP", shape.data);
    }
    return out.data;
}

QuantisedPalette paletteFor(const GridVolume& volume) {
    std::vector<ColourCount> counts;
    if (!volume.hasColour()) {
        counts.push_back({0xFFFFFF, volume.filledCount()});
    } else {
        std::vector<Rgb> all;
        all.reserve(volume.filledCount());
        volume.forEachFilled([&](int, int, int, Rgb rgb) { all.push_back(rgb); });
        std::sort(all.begin(), all.end());
        for (Rgb rgb : all) {
            if (counts.empty() || counts.back().rgb != rgb) counts.push_back({rgb, 0});
            ++counts.back().count;
        }
    }
    return quantiseColours(std::move(counts), 255);
}

}  // namespace

std::string VoxWriter::refusal(const GridBox& box) const {
    if (box.cubicVoxels()) return {};
    return ".vox holds cubic voxels only; this grid's are " + numberText(box.edge[0]) + " x " +
           numberText(box.edge[1]) + " x " + numberText(box.edge[2]) + " (write nrrd, npy or vdb instead)";
}

WriteResult VoxWriter::write(const GridVolume& volume) {
    if (const std::string why = refusal(volume.box()); !why.empty()) return writeFailure(path_, why);
    const GridBox& box = volume.box();
    // Vox axes: x = i, y = (dims[2] - 1 - k), z = j.
    const std::array<int, 3> size = {box.dims[0], box.dims[2], box.dims[1]};
    std::array<int, 3> tiles{};
    for (int a = 0; a < 3; ++a) tiles[a] = (size[a] + kModelEdge - 1) / kModelEdge;

    // Each voxel is a 4-byte record and chunk sizes are 32-bit: refuse
    // before building anything when the records alone would not fit.
    if (volume.filledCount() > (0x7FFFFFFFu - (1u << 20)) / 4)
        return writeFailure(path_, "too many voxels for a .vox file (" + std::to_string(volume.filledCount()) + ")");
    std::vector<Model> models;
    QuantisedPalette palette;
    try {
        palette = paletteFor(volume);
        models.resize(static_cast<std::size_t>(tiles[0]) * tiles[1] * tiles[2]);
        for (int tz = 0; tz < tiles[2]; ++tz)
            for (int ty = 0; ty < tiles[1]; ++ty)
                for (int tx = 0; tx < tiles[0]; ++tx) {
                    Model& model = models[(static_cast<std::size_t>(tz) * tiles[1] + ty) * tiles[0] + tx];
                    const std::array<int, 3> t = {tx, ty, tz};
                    for (int a = 0; a < 3; ++a) {
                        model.low[a] = t[a] * kModelEdge;
                        model.size[a] = std::min(kModelEdge, size[a] - model.low[a]);
                    }
                }
        volume.forEachFilled([&](int i, int j, int k, Rgb rgb) {
            const int p[3] = {i, box.dims[2] - 1 - k, j};
            Model& model = models[(static_cast<std::size_t>(p[2] / kModelEdge) * tiles[1] + p[1] / kModelEdge) *
                                      tiles[0] +
                                  p[0] / kModelEdge];
            const std::uint32_t index = palette.indexOf.at(rgb) + 1u;  // palette index 0 means empty
            model.voxels.push_back(static_cast<std::uint32_t>(p[0] % kModelEdge) |
                                   static_cast<std::uint32_t>(p[1] % kModelEdge) << 8 |
                                   static_cast<std::uint32_t>(p[2] % kModelEdge) << 16 | index << 24);
        });
    } catch (const std::bad_alloc&) {
        return writeFailure(path_, "not enough memory to build the models");
    }
    // Empty tiles are left out; an empty grid still gets one empty model.
    models.erase(std::remove_if(models.begin() + 1, models.end(), [](const Model& m) { return m.voxels.empty(); }),
                 models.end());
    if (models.front().voxels.empty() && models.size() > 1) models.erase(models.begin());

    const std::vector<std::uint8_t> scene = sceneChunks(models);
    Bytes paletteChunk;
    {
        Bytes rgba;
        for (int e = 0; e < 256; ++e) {
            const Rgb rgb = e < static_cast<int>(palette.entries.size()) ? palette.entries[e] : 0;
            rgba.data.insert(rgba.data.end(), {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                               static_cast<std::uint8_t>(rgb), 255});
        }
        appendChunk(paletteChunk, "RGBA", rgba.data);
    }
    std::uint64_t children = scene.size() + paletteChunk.data.size();
    for (const Model& model : models) children += 24 + 16 + 4 * model.voxels.size();
    if (children > 0x7FFFFFFF) return writeFailure(path_, "volume too large for one .vox file (over 2 GiB)");

    CheckedFile file;
    file.open(path_);
    Bytes head;
    head.data = {'V', 'O', 'X', ' '};
    head.i32(150);
    head.data.insert(head.data.end(), {'M', 'A', 'I', 'N'});
    head.i32(0);
    head.i32(static_cast<std::int32_t>(children));
    file.write(head.data.data(), head.data.size());
    for (const Model& model : models) {
        Bytes chunk;
        Bytes sizeContent;
        for (int a = 0; a < 3; ++a) sizeContent.i32(model.size[a]);
        appendChunk(chunk, "SIZE", sizeContent.data);
        chunk.data.insert(chunk.data.end(), {'X', 'Y', 'Z', 'I'});
        chunk.i32(static_cast<std::int32_t>(4 + 4 * model.voxels.size()));
        chunk.i32(0);
        chunk.i32(static_cast<std::int32_t>(model.voxels.size()));
        file.write(chunk.data.data(), chunk.data.size());
        // Voxel records are x, y, z, colour index bytes: the packed words in
        // little-endian order.
        std::vector<std::uint8_t> records(4 * model.voxels.size());
        for (std::size_t n = 0; n < model.voxels.size(); ++n)
            for (int b = 0; b < 4; ++b) records[4 * n + b] = static_cast<std::uint8_t>(model.voxels[n] >> (8 * b));
        file.write(records.data(), records.size());
    }
    file.write(scene.data(), scene.size());
    file.write(paletteChunk.data.data(), paletteChunk.data.size());
    if (const IoResult written = file.finish(); !written.ok) return writeFailure(written.path, written.reason);
    note_.clear();
    if (palette.maxError > 0.0) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: %zu colours quantised to %zu palette entries, largest error %.1f (RGB 0..255)",
                      path_.c_str(), palette.indexOf.size(), palette.entries.size(), palette.maxError);
        note_ = text;
    }
    maxColourError_ = palette.maxError;
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
