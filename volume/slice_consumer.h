#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "volume/material_palette.h"
#include "volume/voxel_mode.h"
#include "volume/write_result.h"

namespace kubelmar {

// Which mesh (OBJ file) axis a stack index runs along: axis 0 = x, 1 = y,
// 2 = z; sign +1 when the index grows with the coordinate, -1 when it falls.
struct SignedAxis {
    int axis = 0;
    int sign = 1;
};

// How the pixels of a slice encode a voxel.
enum class SliceEncoding {
    Colour,     // opaque (R, G, B); an empty voxel is opaque black (0, 0, 0)
    Occupancy,  // filled: opaque white (255, 255, 255, 255); empty: (0, 0, 0, 0)
    Material,   // filled: the voxel's material (materialPixel: alpha 255, or
                // 128 for a clear one); empty: (0, 0, 0, 0)
};

// Whether the encoding's filled voxels carry a colour of their own.
inline bool encodingHasColour(SliceEncoding encoding) { return encoding != SliceEncoding::Occupancy; }

// The whole volume, told to a consumer before its first slice.
struct VolumeInfo {
    int size = 0;  // N: N slices of N x N voxels
    VoxelMode mode = VoxelMode::Clipping;
    SliceEncoding encoding = SliceEncoding::Colour;
    std::string sourcePath;  // the mesh file as it was given
    // Edge of one (cubic) voxel in the mesh file's own units: meshExtent / N
    // in single precision, the value "voxelscale.txt" holds.
    float voxelSize = 0.0f;
    // Mesh-file coordinates (x, y, z) of the grid's low corner: the corner
    // of the voxel whose indices along +x, +y, +z are all 0.
    std::array<double, 3> origin = {0, 0, 0};
    // The mesh's bounding box in file units (x, y, z), inside the grid; a
    // writer that crops to the mesh finds its voxel range from it.
    std::array<double, 3> meshLow = {0, 0, 0};
    std::array<double, 3> meshHigh = {0, 0, 0};
    // How the stack's slice, row (image row, 0 at the top) and column
    // indices run through the mesh's axes in this mode.
    SignedAxis sliceAxis, rowAxis, columnAxis;
    // The materials of the material encoding, in their order; empty in the
    // other encodings.
    MaterialPalette palette;
};

// Where the volume goes: begin, then slices 0 .. N-1 in order, then end.
// A consumer that fails says so in the returned result (an "ERROR: " line
// naming the file and the reason); the engine then stops and calls abort()
// instead of end(). Everything is called on the engine's thread.
class SliceConsumer {
public:
    virtual ~SliceConsumer() = default;
    virtual WriteResult begin(const VolumeInfo& info) = 0;
    // Slice s as its PNG shows it: N x N RGBA pixels, image row r (0 at the
    // top) and column c at 4 * (r * N + c). The buffer is the engine's and
    // is reused once slice() returns: copy what must outlive the call.
    virtual WriteResult slice(int s, const std::uint8_t* rgba) = 0;
    // All slices were delivered: finish and close every file, checking each
    // write. filesWritten counts the files this consumer completed.
    virtual WriteResult end() = 0;
    // The run failed or was cancelled: stop, leave no half-written file
    // reported as written. Safe to call after begin() at any point.
    virtual void abort() {}
};

// True when a slice pixel holds a voxel, in any encoding (the material
// encoding marks voxels by alpha, as the occupancy encoding does).
inline bool voxelFilled(const std::uint8_t* pixel, SliceEncoding encoding) {
    return encoding == SliceEncoding::Colour ? (pixel[0] | pixel[1] | pixel[2]) != 0 : pixel[3] != 0;
}

// How many of `pixels` RGBA pixels hold a voxel (voxelFilled on each), a
// word at a time so that the compiler vectorises it: every run counts every
// slice. A slice has at most 4096^2 pixels, so 32 bits hold the count.
inline std::uint32_t countFilledVoxels(const std::uint8_t* rgba, std::size_t pixels, SliceEncoding encoding) {
    constexpr bool little = std::endian::native == std::endian::little;
    const std::uint32_t mask = encoding == SliceEncoding::Colour ? (little ? 0x00FFFFFFu : 0xFFFFFF00u)   // R, G, B
                                                                 : (little ? 0xFF000000u : 0x000000FFu);  // A
    std::uint32_t filled = 0;
    for (std::size_t p = 0; p < pixels; ++p) {
        std::uint32_t word;
        std::memcpy(&word, rgba + 4 * p, 4);
        filled += (word & mask) != 0;
    }
    return filled;
}

}  // namespace kubelmar
