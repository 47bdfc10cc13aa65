#include "formats/whole_volume_consumer.h"

#include <string>
#include <utility>

namespace kubelmar {

WholeVolumeConsumer::WholeVolumeConsumer(std::vector<std::unique_ptr<VolumeFileWriter>> writers, bool crop)
    : writers_(std::move(writers)), crop_(crop) {}

WriteResult WholeVolumeConsumer::begin(const VolumeInfo& info) {
    info_ = info;
    const std::string firstPath = writers_.empty() ? std::string("(no file)") : writers_.front()->path();
    if (info.size <= 0) return writeFailure(firstPath, "empty volume");
    const GridBox box = crop_ ? croppedGrid(info) : fullGrid(info);
    if (!volume_.allocate(box, info.encoding == SliceEncoding::Colour)) {
        const std::uint64_t mib = (GridVolume::bitBytes(box) + (1u << 20) - 1) >> 20;
        return writeFailure(firstPath, "not enough memory to hold a " + std::to_string(box.dims[0]) + " x " +
                                           std::to_string(box.dims[1]) + " x " + std::to_string(box.dims[2]) +
                                           " volume (" + std::to_string(mib) + " MiB)");
    }
    return {};
}

WriteResult WholeVolumeConsumer::slice(int s, const std::uint8_t* rgba) {
    const int n = info_.size;
    const GridBox& box = volume_.box();
    // Grid coordinates (in the cube, then in the box) of this slice's pixels:
    // the slice fixes one axis, the row and column run along the other two.
    std::array<int, 3> g{};
    g[info_.sliceAxis.axis] = gridIndex(info_.sliceAxis, s, n);
    const int sa = info_.sliceAxis.axis, ra = info_.rowAxis.axis, ca = info_.columnAxis.axis;
    if (g[sa] < box.low[sa] || g[sa] >= box.low[sa] + box.dims[sa]) return {};
    for (int r = 0; r < n; ++r) {
        g[ra] = gridIndex(info_.rowAxis, r, n);
        if (g[ra] < box.low[ra] || g[ra] >= box.low[ra] + box.dims[ra]) continue;
        const std::uint8_t* row = rgba + static_cast<std::size_t>(r) * n * 4;
        for (int c = 0; c < n; ++c) {
            const std::uint8_t* pixel = row + 4 * c;
            if (!voxelFilled(pixel, info_.encoding)) continue;
            g[ca] = gridIndex(info_.columnAxis, c, n);
            if (g[ca] < box.low[ca] || g[ca] >= box.low[ca] + box.dims[ca]) continue;
            const Rgb rgb = (Rgb{pixel[0]} << 16) | (Rgb{pixel[1]} << 8) | pixel[2];
            if (!volume_.set(g[0] - box.low[0], g[1] - box.low[1], g[2] - box.low[2], rgb)) {
                return writeFailure(writers_.empty() ? std::string("(no file)") : writers_.front()->path(),
                                    "not enough memory for the voxel colours");
            }
        }
    }
    return {};
}

WriteResult WholeVolumeConsumer::end() {
    volume_.finish();
    WriteResult result;
    for (auto& writer : writers_) {
        WriteResult one = writer->write(volume_);
        if (!one.ok) return one;
        result.filesWritten += one.filesWritten;
    }
    return result;
}

void WholeVolumeConsumer::abort() {
    // Files are only created in end(), each atomically: nothing to remove.
    volume_.allocate(GridBox{}, false);
}

}  // namespace kubelmar
