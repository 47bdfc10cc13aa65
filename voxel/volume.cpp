#include "voxel/volume.h"

#include <cstdlib>
#include <cstring>

namespace kubelmar {

namespace {
std::size_t allocationLimit = 0;
}

void VoxelVolume::setAllocationLimitForTesting(std::size_t bytes) { allocationLimit = bytes; }

VoxelVolume::~VoxelVolume() { std::free(data_); }

bool VoxelVolume::allocate(int n) {
    const std::size_t bytes = 3 * static_cast<std::size_t>(n) * n * n;
    if (n <= 0 || (allocationLimit != 0 && bytes > allocationLimit)) return false;
    // calloc hands out zeroed pages lazily: 3 GiB at N = 1024 costs nothing
    // until a mode touches it.
    auto* block = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (!block) return false;
    std::free(data_);
    data_ = block;
    size_ = n;
    return true;
}

void VoxelVolume::clear() {
    if (!data_) return;
    // A fresh block from calloc is zeroed lazily by the kernel: far cheaper
    // than writing (and faulting in) every byte of a large volume. Where
    // memory is short, the old block is zeroed in place instead.
    if (auto* block = static_cast<std::uint8_t*>(std::calloc(byteCount(), 1))) {
        std::free(data_);
        data_ = block;
    } else {
        std::memset(data_, 0, byteCount());
    }
}

}  // namespace kubelmar
