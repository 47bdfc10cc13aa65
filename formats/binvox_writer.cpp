#include "formats/binvox_writer.h"

#include <vector>

#include "formats/atomic_file.h"
#include "formats/number_text.h"

namespace kubelmar {

WriteResult BinvoxWriter::write(const GridVolume& volume) {
    const GridBox& box = volume.box();
    const int nx = box.dims[0], ny = box.dims[1], nz = box.dims[2];
    const double scale = static_cast<double>(box.voxelSize) * box.largestDim();
    AtomicFile file(path_);
    file.open();
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
    for (int x = 0; x < nx && file.ok(); ++x)
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y) {
                const std::uint8_t v = volume.filled(x, y, z) ? 1 : 0;
                if (v != value || count == 255) {
                    flush();
                    value = v;
                    count = 0;
                }
                ++count;
            }
    flush();
    file.write(pairs.data(), pairs.size());
    if (!file.commit()) return file.failure();
    WriteResult result;
    result.filesWritten = 1;
    return result;
}

}  // namespace kubelmar
