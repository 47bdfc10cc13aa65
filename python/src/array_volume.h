#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "formats/grid_box.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// A volume held as the arrays the Python module hands out, in the grid of
// the exchange formats (index (i, j, k) along the mesh file's +x, +y, +z):
//
// - occupancy, unpacked: one byte per voxel (0 or 1), C order [k][j][i] as
//   the npy writer stores it; Python sees it transposed to [i, j, k].
// - occupancy, packed: numpy.packbits(occ[i, j, k], axis=-1): C order
//   [i][j][kByte], voxel k in byte k / 8 at bit 7 - k % 8 (the most
//   significant bit first), the unused low bits of the last byte 0.
// - colour (colour volumes only): R, G, B per voxel, C order [k][j][i][3];
//   (0, 0, 0) for an empty voxel.
//
// The memory is calloc'd and owned here; NumPy arrays are views of it that
// keep this object alive.
struct VolumeArrays {
    VolumeInfo info;   // the stack as the engine streamed it
    GridBox box;       // the arrays' grid: the N^3 cube or, cropped, the mesh's box
    bool cropped = false;
    bool packed = false;
    bool hasColour = false;
    std::uint64_t filled = 0;  // filled voxels inside the box

    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t[], Free> occupancy;
    std::unique_ptr<std::uint8_t[], Free> colour;

    // Bytes of one packed [i][j] row of bits along k.
    std::size_t packedRowBytes() const { return (static_cast<std::size_t>(box.dims[2]) + 7) / 8; }
    std::size_t occupancyBytes() const;
    std::size_t colourBytes() const { return hasColour ? 3 * box.voxelCount() : 0; }

    bool filledAt(int i, int j, int k) const;
    void setFilled(int i, int j, int k);
    std::size_t denseIndex(int i, int j, int k) const {
        return (static_cast<std::size_t>(k) * box.dims[1] + j) * box.dims[0] + i;
    }
};

// Takes the memory for an empty volume of `box`; null when it can't be had.
std::shared_ptr<VolumeArrays> allocateVolumeArrays(const VolumeInfo& info, const GridBox& box, bool cropped,
                                                   bool packed);

// Fills VolumeArrays from the slice stream, one slice at a time, with no
// copy of the volume besides the arrays themselves. begin() allocates them
// (failing with the size when the memory can't be had).
class ArrayVolumeConsumer final : public SliceConsumer {
public:
    ArrayVolumeConsumer(bool crop, bool packed) : crop_(crop), packed_(packed) {}

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override { return {}; }
    void abort() override { arrays_.reset(); }

    // The finished volume after end(); null after a failure or abort.
    std::shared_ptr<VolumeArrays> take() { return std::move(arrays_); }

private:
    bool crop_;
    bool packed_;
    std::shared_ptr<VolumeArrays> arrays_;
};

// Where pixel (r, c) of stack slice s lands in a volume's grid: false when
// outside the box (a cropped grid), else the grid indices in ijk.
bool stackPixelToGrid(const VolumeArrays& volume, int s, int r, int c, int ijk[3]);

}  // namespace kubelmar
