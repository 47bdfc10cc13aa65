#pragma once

#include <cstddef>
#include <cstdint>

namespace kubelmar {

// The N x N x N voxel volume: N slices of N rows of 3N bytes, one contiguous
// block. Row r of slice s starts at row(s, r). The clipping mode stores red,
// green, blue at bytes 3c..3c+2 of a row; the depth-buffer mode one
// occupancy byte (255 inside) at byte c, bytes N..3N-1 staying 0.
class VoxelVolume {
public:
    VoxelVolume() = default;
    ~VoxelVolume();
    VoxelVolume(const VoxelVolume&) = delete;
    VoxelVolume& operator=(const VoxelVolume&) = delete;

    // Replaces the volume by a zero-filled n x n x n one. When the memory
    // can't be had the old volume is kept as it was and false is returned.
    bool allocate(int n);
    void clear();

    int size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    std::size_t rowBytes() const { return 3 * static_cast<std::size_t>(size_); }
    std::size_t byteCount() const { return rowBytes() * size_ * size_; }
    std::uint8_t* row(int s, int r) { return data_ + (static_cast<std::size_t>(s) * size_ + r) * rowBytes(); }
    const std::uint8_t* row(int s, int r) const {
        return data_ + (static_cast<std::size_t>(s) * size_ + r) * rowBytes();
    }
    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }

    // For tests: limit what allocate() may take, in bytes (0 = no limit).
    static void setAllocationLimitForTesting(std::size_t bytes);

private:
    std::uint8_t* data_ = nullptr;
    int size_ = 0;
};

}  // namespace kubelmar
