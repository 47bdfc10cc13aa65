#include "formats/grid_volume.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace kubelmar {

namespace {
std::uint64_t allocationLimit = 0;
}

void GridVolume::Free::operator()(std::uint64_t* p) const { std::free(p); }

void GridVolume::setAllocationLimitForTesting(std::uint64_t bytes) { allocationLimit = bytes; }

std::uint64_t GridVolume::bitBytes(const GridBox& box) { return (box.voxelCount() + 63) / 64 * 8; }

bool GridVolume::allocate(const GridBox& box, bool colour) {
    bits_.reset();
    words_ = 0;
    colours_.clear();
    colours_.shrink_to_fit();
    filled_ = 0;
    box_ = GridBox{};
    const std::uint64_t bytes = bitBytes(box);
    if (allocationLimit != 0 && bytes > allocationLimit) return false;
    if (bytes > 0) {
        bits_.reset(static_cast<std::uint64_t*>(std::calloc(bytes / 8, 8)));
        if (!bits_) return false;
    }
    words_ = bytes / 8;
    box_ = box;
    colour_ = colour;
    return true;
}

std::uint64_t GridVolume::bitsAt(std::uint64_t start, int count) const {
    const std::uint64_t total = box_.voxelCount();
    if (start >= total || count <= 0) return 0;
    const std::size_t w = start >> 6;
    const unsigned shift = start & 63;
    std::uint64_t bits = bits_[w] >> shift;
    if (shift != 0 && w + 1 < words_) bits |= bits_[w + 1] << (64 - shift);
    if (count < 64) bits &= (std::uint64_t{1} << count) - 1;
    return bits;
}

bool GridVolume::setIndex(std::uint64_t n, Rgb rgb) {
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

std::size_t GridVolume::colourPosition(std::uint64_t n) const {
    return static_cast<std::size_t>(std::lower_bound(colours_.begin(), colours_.end(), n << 24) - colours_.begin());
}

void occupancyRow(const GridVolume& volume, int j, int k, std::uint8_t filledValue, std::uint8_t* out) {
    const int nx = volume.box().dims[0];
    const std::uint64_t row = volume.index(0, j, k);
    for (int i0 = 0; i0 < nx; i0 += 64) {
        const std::uint64_t word = volume.bitsAt(row + i0, nx - i0);
        const int count = std::min(64, nx - i0);
        for (int b = 0; b < count; ++b) out[i0 + b] = (word >> b) & 1 ? filledValue : 0;
    }
}

void rgbaRow(const GridVolume& volume, int j, int k, std::uint8_t* out) {
    const int nx = volume.box().dims[0];
    const std::uint64_t row = volume.index(0, j, k);
    std::fill(out, out + 4 * static_cast<std::size_t>(nx), std::uint8_t{0});
    // The row's filled voxels are consecutive in the sorted colour list.
    std::size_t next = volume.hasColour() ? volume.colourPosition(row) : 0;
    for (int i0 = 0; i0 < nx; i0 += 64) {
        std::uint64_t word = volume.bitsAt(row + i0, nx - i0);
        while (word) {
            const int i = i0 + __builtin_ctzll(word);
            word &= word - 1;
            const Rgb rgb = volume.hasColour() ? volume.colourAt(next++) : Rgb{0xFFFFFF};
            std::uint8_t* p = out + 4 * static_cast<std::size_t>(i);
            p[0] = static_cast<std::uint8_t>(rgb >> 16);
            p[1] = static_cast<std::uint8_t>(rgb >> 8);
            p[2] = static_cast<std::uint8_t>(rgb);
            p[3] = 255;
        }
    }
}

}  // namespace kubelmar
