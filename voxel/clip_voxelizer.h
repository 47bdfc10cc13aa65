#pragma once

#include <cstdint>
#include <vector>

#include "gl/render_target.h"
#include "voxel/grid_fit.h"
#include "voxel/slab_band.h"
#include "voxel/slab_faces.h"
#include "voxel/surface_voxels.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

// The "Clipping Based" mode: the mesh is cut into slabs one voxel thick along
// y (pass XY), z (XZ) and x (YZ); each slab is rendered between two clip
// planes and every drawn pixel marks the voxel under it with the surface
// colour, a later pass overwriting an earlier one. All passes store frame
// cell (Lx, Ly, Lz) (counted from the frame's negative end, nx x ny x nz
// layers) in stack voxel (slice ny-1-Ly, row Lx, column Lz).
//
// No volume is held: an XY slab is exactly one output slice, so the XZ and
// YZ passes run first and keep only the surface voxels they draw; then each
// XY slab becomes slice s with those voxels painted over it and goes to the
// consumer at once.
class ClipVoxelizer {
public:
    // Renders into targets of its own (large enough for every pass's
    // picture, created on first use) and
    // rebinds whatever framebuffer was bound before. Context current.
    WriteResult voxelizeClipping(const VoxelizeContext& context);
    // Renders slab `slab` of its axis with `indices` (3 per face) into the
    // bound framebuffer (its picture at the lower left); only `rect` is
    // cleared and drawn.
    void renderClipSlab(const VoxelizeContext& context, const SlabState& slab, const std::uint32_t* indices,
                        std::size_t count, const SlabFaces::Rect& rect);
    void releaseGL() {
        for (RenderTarget& target : targets_) target.release();
        band_.release();
    }
    void abandonGL() {
        for (RenderTarget& target : targets_) target.abandon();
        band_.abandon();
    }

    // Bands of slabs in one pass where the GL allows and they are proven
    // (on by default; `anyGL`: on every GL that allows them, for comparing
    // both ways on a new GL); off, every slab is drawn on its own. Both give
    // the same pixels.
    void setBandsEnabled(bool on, bool anyGL = false) {
        bandsEnabled_ = on;
        bandsOnAnyGL_ = anyGL;
    }
    // What the last run did: slabs drawn in bands.
    struct BandStats {
        int bandSlabs = 0;
    };
    BandStats bandStats() const { return stats_; }

private:
    static constexpr int kSlabBatch = 4;  // slabs drawn before the first is read back
    static constexpr int kSlabsPerFlush = 4;  // in a band
    static constexpr int kXYBand = 8;         // slabs a band in the pass that writes slices

    template <typename Use>
    void drawSlabs(const VoxelizeContext& context, SlabState& slab, int first, int count, Use use);
    template <typename Use>
    void drawBand(const VoxelizeContext& context, SlabState& slab, int first, int count, Use use);
    void keepSurface(const SlabState& slab, int k);

    RenderTarget targets_[kSlabBatch];
    std::vector<SlabFaces::Cover> covers_;  // per slab of the batch
    int coverRows_ = 0;                     // rows a band of a cover's parts (SlabFaces::coverage)
    SlabBand band_;
    bool bandsEnabled_ = true;
    bool bandsOnAnyGL_ = false;
    bool bandActive_ = false;  // this run draws bands
    BandStats stats_;
    std::vector<std::vector<std::uint32_t>> layerIndices_;  // per slab of a band: its faces, 3 indices each
    SlabFaces slabFaces_;
    SurfaceVoxels stored_;
    // Reads the parts of covers_[j] into pixels_, each part's rows bottom
    // first, the parts one after another.
    template <typename ReadPart>
    void readCover(int j, ReadPart read);

    const SlabFaces::Cover* cover_ = nullptr;  // the slab last read
    std::vector<std::uint8_t> pixels_;         // its parts' pixels
    std::vector<std::uint32_t> slice_;  // one output slice, RGBA bytes in memory order
    SliceRows sliceRows_;               // the spans of slice_ that may hold voxels
};

}  // namespace kubelmar
