#include "formats/grid_volume.h"

#include <algorithm>
#include <new>

namespace kubelmar {

namespace {
std::uint64_t allocationLimit = 0;
}

void GridVolume::setAllocationLimitForTesting(std::uint64_t bytes) { allocationLimit = bytes; }

std::uint64_t GridVolume::bitBytes(const GridBox& box) { return (box.voxelCount() + 63) / 64 * 8; }

bool GridVolume::allocate(const GridBox& box, bool colour) {
    bits_.clear();
    bits_.shrink_to_fit();
    colours_.clear();
    colours_.shrink_to_fit();
    filled_ = 0;
    const std::uint64_t bytes = bitBytes(box);
    if (allocationLimit != 0 && bytes > allocationLimit) return false;
    try {
        bits_.assign(bytes / 8, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    box_ = box;
    colour_ = colour;
    return true;
}

bool GridVolume::set(int i, int j, int k, Rgb rgb) {
    const std::uint64_t n = index(i, j, k);
    std::uint64_t& word = bits_[n >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (n & 63);
    if (word & bit) return true;
    if (colour_) {
        try {
            colours_.push_back((n << 24) | (rgb & 0xFFFFFF));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    word |= bit;
    ++filled_;
    return true;
}

void GridVolume::finish() { std::sort(colours_.begin(), colours_.end()); }

Rgb GridVolume::colour(int i, int j, int k) const {
    if (!filled(i, j, k)) return 0;
    if (!colour_) return 0xFFFFFF;
    const std::uint64_t key = index(i, j, k) << 24;
    auto it = std::lower_bound(colours_.begin(), colours_.end(), key);
    return it != colours_.end() && (*it >> 24) == (key >> 24) ? static_cast<Rgb>(*it & 0xFFFFFF) : 0;
}

void occupancyRow(const GridVolume& volume, int j, int k, std::uint8_t filledValue, std::uint8_t* out) {
    const int nx = volume.box().dims[0];
    for (int i = 0; i < nx; ++i) out[i] = volume.filled(i, j, k) ? filledValue : 0;
}

void rgbaRow(const GridVolume& volume, int j, int k, std::uint8_t* out) {
    const int nx = volume.box().dims[0];
    for (int i = 0; i < nx; ++i, out += 4) {
        if (!volume.filled(i, j, k)) {
            out[0] = out[1] = out[2] = out[3] = 0;
            continue;
        }
        const Rgb rgb = volume.colour(i, j, k);
        out[0] = static_cast<std::uint8_t>(rgb >> 16);
        out[1] = static_cast<std::uint8_t>(rgb >> 8);
        out[2] = static_cast<std::uint8_t>(rgb);
        out[3] = 255;
    }
}

}  // namespace kubelmar
