#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "volume/material_palette.h"
#include "volume/slice_rows.h"
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

// The pixel of an empty voxel in the encoding, R, G, B, A.
inline std::array<std::uint8_t, 4> emptyVoxelPixel(SliceEncoding encoding) {
    if (encoding == SliceEncoding::Colour) return {0, 0, 0, 255};
    return {0, 0, 0, 0};
}

// Whether the encoding's filled voxels carry a colour of their own.
inline bool encodingHasColour(SliceEncoding encoding) { return encoding != SliceEncoding::Occupancy; }

// The whole volume, told to a consumer before its first slice: the grid
// (voxels and edge per mesh axis, origin, unit) and how the stack runs
// through it. Lengths (voxelSize, edge, origin, meshLow, meshHigh) are in
// output units: the mesh file's units times `scale`.
struct VolumeInfo {
    // N: voxels along the largest side of the grid (the cube's N x N x N).
    int size = 0;
    // Voxels along the mesh's x, y and z.
    std::array<int, 3> dims = {0, 0, 0};
    VoxelMode mode = VoxelMode::Clipping;
    SliceEncoding encoding = SliceEncoding::Colour;
    std::string sourcePath;  // the mesh file as it was given
    // The cube's voxel edge in single precision (meshExtent / N times the
    // scale), the value "voxelscale.txt" has always held; on other grids with
    // cubic voxels the edge rounded to single precision, 0 with anisotropic ones.
    float voxelSize = 0.0f;
    // Voxel edge along x, y, z.
    std::array<double, 3> edge = {0, 0, 0};
    // The file's coordinates times this are output units.
    double scale = 1.0;
    // What one output unit is ("mm", "cm", "m", "in"), or "" when not said.
    std::string unit;
    // The N^3 cube centred on the mesh's box (false: a box grid from the
    // mesh's low corner), and the grid preset the settings came from ("").
    bool cube = true;
    std::string preset;
    // Coordinates (x, y, z) of the grid's low corner: the corner of the voxel
    // whose indices along +x, +y, +z are all 0.
    std::array<double, 3> origin = {0, 0, 0};
    // The mesh's bounding box (x, y, z), inside the grid; a writer that crops
    // to the mesh finds its voxel range from it.
    std::array<double, 3> meshLow = {0, 0, 0};
    std::array<double, 3> meshHigh = {0, 0, 0};
    // How the stack's slice, row (image row, 0 at the top) and column
    // indices run through the mesh's axes.
    SignedAxis sliceAxis, rowAxis, columnAxis;
    // The materials of the material encoding, in their order; empty in the
    // other encodings.
    MaterialPalette palette;

    // Slices are width() x height() pixels; slices() of them.
    int width() const { return dims[columnAxis.axis]; }
    int height() const { return dims[rowAxis.axis]; }
    int slices() const { return dims[sliceAxis.axis]; }
    std::size_t slicePixels() const { return static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()); }
    // All three edges equal: voxels are cubes.
    bool cubicVoxels() const { return edge[0] == edge[1] && edge[1] == edge[2]; }
};

// The cube of N^3 voxels of edge `voxelSize` as the stack's axes run, with
// edges and dims filled: for consumers and tests that describe a cube.
inline void setCubeGrid(VolumeInfo& info, int n, float voxelSize) {
    info.size = n;
    info.dims = {n, n, n};
    info.voxelSize = voxelSize;
    info.edge = {voxelSize, voxelSize, voxelSize};
}

// Where the volume goes: begin, then slices 0 .. slices()-1 in order, then end.
// A consumer that fails says so in the returned result (an "ERROR: " line
// naming the file and the reason); the engine then stops and calls abort()
// instead of end(). Everything is called on the engine's thread.
class SliceConsumer {
public:
    virtual ~SliceConsumer() = default;
    virtual WriteResult begin(const VolumeInfo& info) = 0;
    // Slice s as its PNG shows it: W x H RGBA pixels (W = width(), H =
    // height()), image row r (0 at the top) and column c at 4 * (r * W + c). The buffer is the engine's and
    // is reused once slice() returns: copy what must outlive the call.
    virtual WriteResult slice(int s, const std::uint8_t* rgba) = 0;
    // The same slice with its rows' spans (`rows.height()` == H): pixels
    // outside them are the encoding's empty pixel. A consumer that can skip
    // empty rows overrides this; the others get slice().
    virtual WriteResult sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) {
        (void)rows;
        return slice(s, rgba);
    }
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
// slice. A slice has at most 16384^2 pixels, so 32 bits hold the count.
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

// The same count for a slice of rows `width` pixels whose rows' spans are
// known: only the spans are read.
inline std::uint64_t countFilledVoxels(const std::uint8_t* rgba, int width, const SliceRows& rows,
                                       SliceEncoding encoding) {
    std::uint64_t filled = 0;
    for (int r = 0; r < rows.height(); ++r) {
        if (rows.empty(r)) continue;
        const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + rows.first(r);
        filled += countFilledVoxels(rgba + 4 * at, static_cast<std::size_t>(rows.end(r) - rows.first(r)), encoding);
    }
    return filled;
}

}  // namespace kubelmar
