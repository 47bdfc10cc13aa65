#pragma once

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "formats/grid_volume.h"
#include "volume/slice_consumer.h"

namespace kubelmar::test {

// A voxel of a test volume, indices along +x, +y, +z.
struct Voxel {
    int i = 0, j = 0, k = 0;
    Rgb rgb = 0xFFFFFF;
    auto key() const { return std::make_tuple(i, j, k); }
    bool operator<(const Voxel& o) const { return key() < o.key(); }
    bool operator==(const Voxel& o) const { return key() == o.key() && rgb == o.rgb; }
};
using VoxelSet = std::set<Voxel>;

// The two stack layouts the engine streams.
enum class Layout { Clipping, Depth };

// Six voxels from the corner: arms of three along +x and +y and of two
// along +z, fitting a cube of n >= 3. Arms of unequal length: no rotation
// or mirror maps it onto itself, so a swapped or flipped axis shows. Each
// voxel has its own colour.
VoxelSet lShape();
// The same voxels, all white: what an occupancy file reads back as.
VoxelSet whiteCopy(const VoxelSet& voxels);

// Volume description with the layout's axes: voxel size 0.5, origin
// (-1, 2, 10), mesh box the whole cube.
VolumeInfo volumeInfo(Layout layout, SliceEncoding encoding, int n);

// A box grid of anisotropic voxels: 4 x 3 x 5 voxels of 0.5 x 0.25 x 1 mm
// from (-1, 2, 10), the layout's axes; the L fits it.
VolumeInfo anisotropicInfo(Layout layout, SliceEncoding encoding);

// Streams `voxels` through `consumer` as the engine would: begin, slices
// 0..n-1 (pixel encoding as in VolumeInfo), end. Returns the first failure.
WriteResult feed(SliceConsumer& consumer, const VolumeInfo& info, const VoxelSet& voxels);

// A fresh empty folder under the test temp directory.
std::string freshDirectory(const std::string& name);
bool fileExists(const std::string& path);
std::vector<std::uint8_t> readFile(const std::string& path);

// Layout, encoding pairs for parameterised tests, and their names.
struct Case {
    Layout layout;
    SliceEncoding encoding;
};
std::string caseName(const Case& c);
inline void PrintTo(const Case& c, std::ostream* os) { *os << caseName(c); }

}  // namespace kubelmar::test
