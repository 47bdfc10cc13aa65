#include "formats/binvox_writer.h"

#include <algorithm>
#include <new>
#include <vector>

#include "io/checked_file.h"
#include "formats/number_text.h"

namespace kubelmar {

std::string BinvoxWriter::refusal(const GridBox& box) const {
    if (box.cubicVoxels()) return {};
    return "binvox holds cubic voxels only; this grid's are " + numberText(box.edge[0]) + " x " +
           numberText(box.edge[1]) + " x " + numberText(box.edge[2]) + " (write nrrd, npy or vdb instead)";
}

WriteResult BinvoxWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    if (const std::string why = refusal(box); !why.empty()) return writeFailure(path_, why);
    const int nx = box.dims[0], ny = box.dims[1], nz = box.dims[2];
    // Single precision like the voxel size itself, so 0.1 x 5 reads "0.5".
    const float scale = box.cubicEdge() * static_cast<float>(box.largestDim());
    CheckedFile file;
    file.open(path_);
    file.write("#binvox 1\ndim " + std::to_string(nx) + " " + std::to_string(nz) + " " + std::to_string(ny) +
               "\ntranslate " + numberText(box.origin[0]) + " " + numberText(box.origin[1]) + " " +
               numberText(box.origin[2]) + "\nscale " + numberText(scale) + "\ndata\n");

    std::vector<std::uint8_t> pairs;
    pairs.reserve(1 << 16);
    std::uint8_t value = 0;
    int count = 0;
    auto flush = [&] {
        if (count > 0) {
            pairs.push_back(value);
            pairs.push_back(static_cast<std::uint8_t>(count));
        }
        if (pairs.size() >= (1 << 16)) {
            file.write(pairs.data(), pairs.size());
            pairs.clear();
        }
    };
    // The volume keeps x fastest; binvox wants it slowest. Take 64 x at a
    // time: one 64-bit read per (z, y) column, then emit those x in order.
    std::vector<std::uint64_t> block;
    try {
        block.resize(static_cast<std::size_t>(ny) * nz);
    } catch (const std::bad_alloc&) {
        return writeFailure(path_, "not enough memory to reorder the volume");
    }
    for (int x0 = 0; x0 < nx && file.ok(); x0 += 64) {
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                block[static_cast<std::size_t>(z) * ny + y] = volume.bitsAt(volume.index(x0, y, z), nx - x0);
        for (int x = x0; x < std::min(nx, x0 + 64); ++x)
            for (std::size_t zy = 0; zy < block.size(); ++zy) {
                const std::uint8_t v = (block[zy] >> (x - x0)) & 1;
                if (v != value || count == 255) {
                    flush();
                    value = v;
                    count = 0;
                }
                ++count;
            }
    }
    flush();
    file.write(pairs.data(), pairs.size());
    if (const IoResult written = file.finish(); !written.ok) return writeFailure(written.path, written.reason);
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
