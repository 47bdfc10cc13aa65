#include "array_volume.h"

#include <cstdlib>
#include <string>

namespace kubelmar {

void VolumeArrays::Free::operator()(std::uint8_t* p) const { std::free(p); }

std::size_t VolumeArrays::occupancyBytes() const {
    return packed ? static_cast<std::size_t>(box.dims[0]) * box.dims[1] * packedRowBytes()
                  : static_cast<std::size_t>(box.voxelCount());
}

bool VolumeArrays::filledAt(int i, int j, int k) const {
    if (!packed) return occupancy[denseIndex(i, j, k)] != 0;
    const std::size_t byte = (static_cast<std::size_t>(i) * box.dims[1] + j) * packedRowBytes() + k / 8;
    return (occupancy[byte] >> (7 - k % 8)) & 1;
}

void VolumeArrays::setFilled(int i, int j, int k) {
    if (!packed) {
        occupancy[denseIndex(i, j, k)] = 1;
        return;
    }
    const std::size_t byte = (static_cast<std::size_t>(i) * box.dims[1] + j) * packedRowBytes() + k / 8;
    occupancy[byte] |= static_cast<std::uint8_t>(0x80u >> (k % 8));
}

std::shared_ptr<VolumeArrays> allocateVolumeArrays(const VolumeInfo& info, const GridBox& box, bool cropped,
                                                   bool packed) {
    auto volume = std::make_shared<VolumeArrays>();
    volume->info = info;
    volume->box = box;
    volume->cropped = cropped;
    volume->packed = packed;
    volume->hasColour = info.encoding == SliceEncoding::Colour;
    // calloc: the kernel's zero pages are committed only where written, and
    // an impossible size fails here rather than in the middle of a run.
    volume->occupancy.reset(static_cast<std::uint8_t*>(std::calloc(volume->occupancyBytes(), 1)));
    if (!volume->occupancy) return nullptr;
    if (volume->hasColour) {
        volume->colour.reset(static_cast<std::uint8_t*>(std::calloc(volume->colourBytes(), 1)));
        if (!volume->colour) return nullptr;
    }
    return volume;
}

bool stackPixelToGrid(const VolumeArrays& volume, int s, int r, int c, int ijk[3]) {
    const VolumeInfo& info = volume.info;
    const SignedAxis axes[3] = {info.sliceAxis, info.rowAxis, info.columnAxis};
    const int stack[3] = {s, r, c};
    for (int t = 0; t < 3; ++t) {
        const int a = axes[t].axis;
        const int g = gridIndex(axes[t], stack[t], info.dims[a]) - volume.box.low[a];
        if (g < 0 || g >= volume.box.dims[a]) return false;
        ijk[a] = g;
    }
    return true;
}

WriteResult ArrayVolumeConsumer::begin(const VolumeInfo& info) {
    if (info.dims[0] <= 0 || info.dims[1] <= 0 || info.dims[2] <= 0) return runFailure("empty volume");
    const GridBox box = crop_ ? croppedGrid(info) : fullGrid(info);
    arrays_ = allocateVolumeArrays(info, box, crop_, packed_);
    if (!arrays_) {
        const bool colour = info.encoding == SliceEncoding::Colour;
        const double bytes = static_cast<double>(box.voxelCount()) * ((packed_ ? 0.125 : 1.0) + (colour ? 3 : 0));
        return runFailure("not enough memory to hold a " + std::to_string(box.dims[0]) + " x " +
                          std::to_string(box.dims[1]) + " x " + std::to_string(box.dims[2]) + " volume (" +
                          std::to_string(static_cast<long long>(bytes / (1 << 20)) + 1) + " MiB)");
    }
    return {};
}

WriteResult ArrayVolumeConsumer::slice(int s, const std::uint8_t* rgba) {
    VolumeArrays& volume = *arrays_;
    const int width = volume.info.width(), height = volume.info.height();
    const SliceEncoding encoding = volume.info.encoding;
    // Only filled pixels are placed: the arrays start zeroed.
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* pixel = rgba + static_cast<std::size_t>(r) * width * 4;
        for (int c = 0; c < width; ++c, pixel += 4) {
            if (!voxelFilled(pixel, encoding)) continue;
            int ijk[3];
            if (!stackPixelToGrid(volume, s, r, c, ijk)) continue;
            volume.setFilled(ijk[0], ijk[1], ijk[2]);
            ++volume.filled;
            if (volume.hasColour) {
                std::uint8_t* rgb = volume.colour.get() + 3 * volume.denseIndex(ijk[0], ijk[1], ijk[2]);
                rgb[0] = pixel[0];
                rgb[1] = pixel[1];
                rgb[2] = pixel[2];
            }
        }
    }
    return {};
}

}  // namespace kubelmar
