#pragma once

#include <cstdint>
#include <vector>

#include "colour/print_stage.h"
#include "volume/slice_consumer.h"
#include "volume/slice_shape.h"
#include "volume/surface_colour_sink.h"

namespace kubelmar {

// Colours a solid mode's stack from its surface: every filled voxel whose
// centre lies within `depth` of the centre of a voxel the surface touches
// takes that voxel's colour (the nearest one's, by exact Euclidean
// distance with the stack's voxel edges as weights); deeper ones are core.
// At depth 0 only the touched voxels themselves are coloured.
//
// Streamed: slice s goes out once slice s + K has come in, K the depth in
// slices; only the 2K + 1 slices around it are held: the occupancy of the
// K + 1 not yet written (a byte a pixel) and, for the pixels within the
// depth of a touched voxel in each slice only (the band along the
// surface), the squared in-slice distance and that voxel's colour (12
// bytes each). Each slice's in-slice distances are an exact 2D transform
// (Felzenszwalb and Huttenlocher's lower envelope of parabolas, keeping
// the nearest voxel); the slice axis is then searched directly, only for
// pixels that have a touched voxel within the depth in some slice of the
// window.
//
// The surface colours arrive through SurfaceColourSink before each slice;
// the stack arrives through slice() (occupancy encoding); both go on to
// the print stage with their roles.
class SolidColouring final : public SliceConsumer, public SurfaceColourSink {
public:
    SolidColouring(PrintStage& next, double depth);

    void surfaceColours(int s, const std::uint8_t* rgba) override;
    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override;
    void abort() override { next_.abort(); }

private:
    // A pixel within the depth of a touched voxel of its slice.
    struct Near {
        std::uint32_t pixel = 0;   // row * width + column
        float distance2 = 0;       // in-slice, to the nearest touched voxel
        std::uint32_t colour = 0;  // that voxel's colour, 0xRRGGBB
    };
    struct Layer {
        int slice = -1;
        std::vector<Near> near;            // in pixel order
        std::vector<std::uint8_t> filled;  // per pixel: the stack's occupancy
    };
    Layer& layerOf(int s) { return window_[static_cast<std::size_t>(s) % window_.size()]; }
    void transform(const std::uint8_t* rgba, Layer& layer);
    // Takes a layer's touched voxels out of near_.
    void forget(const Layer& layer);
    WriteResult emit(int s);

    PrintStage& next_;
    double depth_;
    int reach_ = 0;  // slices each side within the depth
    SliceShape shape_;
    std::array<double, 3> edges_ = {1, 1, 1};  // row, column, slice
    std::vector<Layer> window_;
    std::vector<std::uint16_t> near_;  // per pixel: layers in the window with a touched voxel within depth
    int pending_ = -1;                 // the slice whose surface colours came last
    int received_ = 0;                 // slices received
    // Scratch for the transform and the output.
    std::vector<float> rowDistance2_;
    std::vector<int> rowNearest_;
    std::vector<int> hullAt_;
    std::vector<double> hullFrom_;
    std::vector<double> columnF_;  // per row of the column: the row distance^2 over er^2
    std::vector<float> distance2_;       // per pixel: the slice's transform (inf: beyond the depth)
    std::vector<std::uint32_t> colour_;  // per pixel: the nearest touched voxel's colour
    std::vector<std::size_t> cursor_;    // per window slot: the next Near entry emit() reads
    std::vector<std::uint8_t> rgba_, role_;
};

}  // namespace kubelmar
