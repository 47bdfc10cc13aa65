#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "volume/slice_consumer.h"

namespace kubelmar {

// The three orthogonal views a preview shows, named as a viewer standing
// on the mesh's +z (front), +x (side) and +y (top) side sees the volume.
enum class PreviewView { Front = 0, Side = 1, Top = 2 };

// Collects a picture of the volume while the engine streams it, beside the
// consumers that write files: three orthogonal projections and the slices
// themselves, kept run-length encoded (voxel slices are mostly long runs of
// one colour) up to a memory budget. Writes nothing and never fails.
//
// Every picture it hands out is opaque RGBA, image row 0 at the top: a
// filled voxel in its colour (white in the occupancy encoding), an empty one
// black. Slices are W x H, as streamed. Projections have ceil(n / step)
// pixels for an axis of n voxels, step = ceil(largest dimension /
// kMaxProjection): above that size only every step-th slice, row and
// column is projected, which keeps the cost per slice near that of copying
// it. A pixel is one voxel (or step voxels) along each axis whatever its
// edge; extent() gives each picture's true proportions, to draw it at.
//
// Projections, in mesh-file axes: Front looks down -z (x to the right, y
// up), Side looks down -x (-z to the right, y up), Top looks down -y (x to
// the right, +z towards the bottom). Each pixel shows the voxel nearest the
// viewer, darkened with its depth (to half brightness at the far side) so
// that the shape reads even in a single colour.
class VolumePreview final : public SliceConsumer {
public:
    struct Options {
        // Keep every slice (the desktop's slice browser); otherwise only the
        // sample slices (a preview picture).
        bool keepAllSlices = true;
        // How many evenly spaced slices count as samples (see sampleSlices()).
        int sampleCount = 6;
        // Bytes the kept slices may take, encoded; slices past it are not
        // kept (sliceKept() false) but still projected.
        std::size_t sliceBudget = std::size_t(256) << 20;
    };

    static constexpr int kMaxProjection = 512;  // pixels

    VolumePreview() : VolumePreview(Options{}) {}
    explicit VolumePreview(const Options& options);

    WriteResult begin(const VolumeInfo& info) override;
    WriteResult slice(int s, const std::uint8_t* rgba) override;
    WriteResult end() override;
    void abort() override;

    // True once end() has run for a complete volume (false after abort()).
    bool complete() const { return complete_; }
    const VolumeInfo& info() const { return info_; }
    int size() const { return info_.size; }
    // Slices delivered so far.
    int slicesReceived() const { return received_; }

    // The projection, projectionWidth x projectionHeight pixels; empty
    // before begin().
    std::vector<std::uint8_t> projection(PreviewView view) const;
    int projectionWidth(PreviewView view) const;
    int projectionHeight(PreviewView view) const;
    // The largest projection side (all of them on the cube).
    int projectionSize() const { return projectionSize_; }
    // A picture's width and height in output units (the grid's extent along
    // the axes it shows): draw it at these proportions.
    struct Extent {
        double width = 0, height = 0;
    };
    Extent projectionExtent(PreviewView view) const;
    Extent sliceExtent() const;
    int sliceWidth() const { return info_.width(); }
    int sliceHeight() const { return info_.height(); }
    int sliceCount() const { return info_.slices(); }
    // The stack indices of the sample slices: sampleCount indices spread
    // evenly over the slices (the first and last usually hold little).
    std::vector<int> sampleSlices() const;
    bool sliceKept(int s) const;
    // Slice s as W x H opaque RGBA; empty when it wasn't kept.
    std::vector<std::uint8_t> slicePixels(int s) const;

private:
    struct Projection {
        std::vector<std::uint32_t> colour;  // opaque RGBA as it sits in memory
        std::vector<std::uint16_t> depth;   // distance from the viewer's face, voxels; the axis's count = none
    };
    bool wantSlice(int s) const;
    void project(Projection& target, int pixel, int depth, std::uint32_t colour);
    // Projects the filled voxel at stack position (s, r, c), colour `word`.
    void projectVoxel(int s, int r, int c, std::uint32_t word);

    Options options_;
    VolumeInfo info_;
    Projection views_[3];
    std::vector<std::vector<std::uint32_t>> slices_;  // (run length, pixel) pairs per slice
    std::size_t keptBytes_ = 0;
    int received_ = 0;
    int step_ = 1;            // voxels per projection pixel along each axis
    int projectionSize_ = 0;  // the largest of pdims_
    int pdims_[3] = {0, 0, 0};  // projection pixels along x, y, z
    bool complete_ = false;
};

// Writes the preview as one PNG: the three projections (front, side, top)
// in a row, and below them a row of the sample slices that were kept, on a
// dark grey background. Tiles are shrunk (nearest voxel) so that a
// projection is at most 256 pixels and a sample half of that. Fails, naming
// the path and the reason, when the file can't be written or the preview
// holds no volume.
WriteResult writePreviewPng(const VolumePreview& preview, const std::string& path);

// A consumer for the command line's --preview FILE.png: collects what
// VolumePreview collects (sample slices only) and writes the picture at end()
// (counting it as one file written). Add it after the consumers that write
// the output, so a failed output never leaves a preview behind.
class PreviewPngWriter final : public SliceConsumer {
public:
    explicit PreviewPngWriter(std::string path);

    WriteResult begin(const VolumeInfo& info) override { return preview_.begin(info); }
    WriteResult slice(int s, const std::uint8_t* rgba) override { return preview_.slice(s, rgba); }
    WriteResult end() override;
    void abort() override { preview_.abort(); }

private:
    std::string path_;
    VolumePreview preview_;
};

}  // namespace kubelmar
