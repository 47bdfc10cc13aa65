#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/mesh.h"
#include "volume/slice_consumer.h"
#include "volume/surface_colour_sink.h"

namespace kubelmar {

// Adds every voxel the surface touches to a mode's slices on their way to
// the consumer: the conservative surface. A voxel touches the surface when
// one of the faces shares a point with its closed box (triangle_box.h), so
// no part of the surface is too thin to leave a voxel, and a face lying in
// a plane between two layers of voxels sets both.
//
// Voxels the mode set stay exactly as it set them; the others that the
// surface touches become, in the colour encoding, the colour of the surface
// at the point of the nearest touching face closest to the voxel's centre
// (vertex colours interpolated, or the texel there), lifted to grey level 1
// when darker, so they never read as empty; in the occupancy encoding they
// are filled.
//
// The grid is the one every mode renders: the frame cube (-1024..1024 on
// each axis, the mesh as placed for the run) cut into frame.dims[a] layers
// along frame axis a, the stack's slice, row and column axes given in that
// frame (the mode's own mapping). Faces are kept sorted by the slices they
// reach, so each slice tests only the faces that can touch it, clipped to
// its layer and then to each row. Slices must come in order. "Nearest" is
// measured in prepared mesh units, however the frame is stretched.
//
// With a colour sink it also tells the sink, before each slice, the colour
// of every voxel the surface touches (the mode's own voxels and empty ones
// too), found the same way; with addVoxels false it then leaves the slices
// as the mode made them and only reports.
class TouchedSurface final : public SliceConsumer {
public:
    // `faces`: 3 vertex indices per face into the prepared mesh; `colour`:
    // the chain the clipping mode's colours follow. Both must outlive this.
    TouchedSurface(SliceConsumer& inner, const Mesh& mesh, const std::vector<std::uint32_t>& faces,
                   ColourSource colour, const std::array<int, 3>& frameDims, const std::array<SignedAxis, 3>& frameAxes,
                   const std::array<double, 3>& unstretch = {1, 1, 1}, bool addVoxels = true,
                   SurfaceColourSink* colours = nullptr);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override { return inner_.end(); }
    void abort() override { inner_.abort(); }

    // Voxels added so far (set by the surface, not by the mode).
    std::uint64_t added() const { return added_; }

private:
    // Adds slice s's touched voxels into slice_.
    void touchSlice(int s);
    // The colour of face `face` at the point with barycentric `weights`.
    void colourAt(std::uint32_t face, const double weights[3], std::uint8_t rgb[3]) const;

    // Keeps the nearest face's colour for the sink at `pixel`.
    void report(std::uint32_t face, const double weights[3], double distance2, std::size_t pixel);

    SliceConsumer& inner_;
    const Mesh& mesh_;
    const std::vector<std::uint32_t>& faces_;
    ColourSource colour_;
    VolumeInfo info_;
    std::array<int, 3> dims_;         // layers along frame x, y, z
    std::array<SignedAxis, 3> axes_;  // slice, row, column in the frame
    std::array<double, 3> step_ = {0, 0, 0};  // voxel edge per frame axis, mesh units
    // Prepared mesh units per frame unit along each frame axis; `stretched_`
    // when they differ from 1 (the mesh was placed for a box grid).
    std::array<double, 3> unstretch_;
    bool stretched_ = false;
    std::vector<std::uint32_t> firstSlice_, lastSlice_;  // per face
    std::vector<std::uint32_t> byFirst_;                  // faces sorted by first slice
    std::vector<std::size_t> startOf_;                    // slices + 1 offsets into byFirst_
    std::vector<std::uint32_t> active_;
    std::vector<std::uint8_t> slice_;  // the slice being passed on
    std::vector<std::uint8_t> mine_;   // per pixel: 0 the mode's or empty, 1 added by the surface
    std::vector<float> nearest_;       // per added pixel: squared distance of the face that coloured it
    std::vector<std::uint32_t> touched_;  // pixels of mine_ to reset
    std::uint64_t added_ = 0;
    bool addVoxels_ = true;
    SurfaceColourSink* sink_ = nullptr;
    std::vector<std::uint8_t> colours_;         // for the sink: RGBA, alpha 255 where touched
    std::vector<float> colourNearest_;          // per reported pixel: squared distance of its face
    std::vector<std::uint32_t> reported_;       // pixels of colours_ to reset
};

}  // namespace kubelmar
