#include "voxel/surface_voxels.h"

namespace kubelmar {

void SurfaceVoxels::reset(int slices, int width) {
    width_ = width;
    slices_.clear();
    slices_.resize(static_cast<std::size_t>(slices));
}

void SurfaceVoxels::paint(int slice, std::uint8_t* rgba, SliceRows& rows) const {
    const auto width = static_cast<std::uint64_t>(width_);
    for (const std::uint64_t entry : slices_[slice]) {
        const std::uint64_t place = entry >> 24;
        std::uint8_t* p = rgba + 4 * place;
        p[0] = static_cast<std::uint8_t>(entry >> 16);
        p[1] = static_cast<std::uint8_t>(entry >> 8);
        p[2] = static_cast<std::uint8_t>(entry);
        rows.mark(static_cast<int>(place / width), static_cast<int>(place % width));
    }
}

void SurfaceVoxels::release(int slice) { std::vector<std::uint64_t>().swap(slices_[slice]); }

std::size_t SurfaceVoxels::count() const {
    std::size_t total = 0;
    for (const auto& s : slices_) total += s.size();
    return total;
}

}  // namespace kubelmar
