#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/grid_box.h"

namespace kubelmar {

// Packed colour 0xRRGGBB.
using Rgb = std::uint32_t;

// A whole volume held compactly for the writers that need all of it: one bit
// per voxel of the box, and for a colour volume the colour of each filled
// voxel in a sorted sparse list. Voxel (i, j, k) has the linear index
// (k * dims[1] + j) * dims[0] + i: i fastest, the order of a C array [k][j][i].
class GridVolume {
public:
    // Takes the memory for an empty volume of `box`. False (and the volume
    // left empty) when the bits can't be had or would pass the test limit.
    bool allocate(const GridBox& box, bool colour);

    const GridBox& box() const { return box_; }
    bool hasColour() const { return colour_; }
    std::uint64_t filledCount() const { return filled_; }
    // Bytes the bit set of `box` needs.
    static std::uint64_t bitBytes(const GridBox& box);

    std::uint64_t index(int i, int j, int k) const {
        return (static_cast<std::uint64_t>(k) * box_.dims[1] + j) * box_.dims[0] + i;
    }
    bool filled(int i, int j, int k) const {
        const std::uint64_t n = index(i, j, k);
        return (bits_[n >> 6] >> (n & 63)) & 1;
    }
    // Up to 64 bits (`count`, clamped to 64) from linear index `start`,
    // voxel start in bit 0; bits past the volume's end read as 0.
    std::uint64_t bitsAt(std::uint64_t start, int count) const;

    // Marks a voxel filled (once per voxel) with its colour (ignored for an
    // occupancy volume). False when the colour list can't grow.
    bool set(int i, int j, int k, Rgb rgb) { return setIndex(index(i, j, k), rgb); }
    bool setIndex(std::uint64_t n, Rgb rgb);
    // Call once after the last set(): puts the colours in index order.
    void finish();

    // Colour of a filled voxel (binary search); 0 for an empty one.
    Rgb colour(int i, int j, int k) const;
    // Position in the sorted colour list of the first filled voxel at or
    // after linear index n, and the colour stored there.
    std::size_t colourPosition(std::uint64_t n) const;
    Rgb colourAt(std::size_t position) const { return static_cast<Rgb>(colours_[position] & 0xFFFFFF); }
    // Filled voxels in index order, each as f(i, j, k, rgb); rgb is 0xFFFFFF
    // in an occupancy volume.
    template <typename F>
    void forEachFilled(F f) const;

    // For tests: the most bytes allocate() may take (0 = no limit).
    static void setAllocationLimitForTesting(std::uint64_t bytes);

private:
    GridBox box_;
    bool colour_ = false;
    std::uint64_t filled_ = 0;
    // calloc'd: the kernel's zero pages are only committed once written, so
    // a sparse volume costs what it fills and an impossible size fails here.
    struct Free {
        void operator()(std::uint64_t* p) const;
    };
    std::unique_ptr<std::uint64_t[], Free> bits_;
    std::size_t words_ = 0;
    // (index << 24) | rgb; sorted by finish().
    std::vector<std::uint64_t> colours_;
};

template <typename F>
void GridVolume::forEachFilled(F f) const {
    const int nx = box_.dims[0];
    std::size_t next = 0;  // into colours_, which runs in index order too
    for (int k = 0; k < box_.dims[2]; ++k)
        for (int j = 0; j < box_.dims[1]; ++j) {
            const std::uint64_t row = index(0, j, k);
            for (int i0 = 0; i0 < nx; i0 += 64) {
                std::uint64_t word = bitsAt(row + i0, nx - i0);
                while (word) {
                    const int i = i0 + __builtin_ctzll(word);
                    word &= word - 1;
                    f(i, j, k, colour_ ? static_cast<Rgb>(colours_[next++] & 0xFFFFFF) : Rgb{0xFFFFFF});
                }
            }
        }
}

// One row of dims[0] voxels (fixed j, k) as the dense formats store it:
// occupancy bytes (0 or `filledValue`), or RGBA with a filled voxel
// (R, G, B, 255) and an empty one (0, 0, 0, 0), 4 * dims[0] bytes.
void occupancyRow(const GridVolume& volume, int j, int k, std::uint8_t filledValue, std::uint8_t* out);
void rgbaRow(const GridVolume& volume, int j, int k, std::uint8_t* out);

// Hands every row of the volume (k outer, j inner: C order of (k, j, i)) to
// `writeRow(bytes, size)` as the dense formats store it, colour as RGBA when
// `colour`, else 0/1 bytes; stops early once `keepGoing()` is false.
template <typename KeepGoing, typename Emit>
void forEachDenseRow(const GridVolume& volume, bool colour, KeepGoing keepGoing, Emit writeRow) {
    const GridBox& box = volume.box();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(box.dims[0]) * (colour ? 4 : 1));
    for (int k = 0; k < box.dims[2] && keepGoing(); ++k)
        for (int j = 0; j < box.dims[1] && keepGoing(); ++j) {
            if (colour)
                rgbaRow(volume, j, k, row.data());
            else
                occupancyRow(volume, j, k, 1, row.data());
            writeRow(row.data(), row.size());
        }
}

}  // namespace kubelmar
