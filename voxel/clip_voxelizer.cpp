#include "voxel/clip_voxelizer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "mesh/mesh_frame.h"
#include "voxel/axis_views.h"
#include "voxel/depth_build.h"
#include "voxel/frame_view.h"

namespace kubelmar {

namespace {

constexpr std::uint64_t kColourBits = 0x00FFFFFF00FFFFFFull;  // RGB of two RGBA pixels

// Calls `mark(x, y, pixel)` for every pixel of a read rectangle whose grey
// level is not 0 (x, y: window pixel, bottom row 0). Most of a slab is
// background, so four pixels are tested at once.
template <typename Mark>
void forEachDrawn(const std::uint8_t* pixels, const SlabFaces::Rect& rect, Mark mark) {
    for (int j = 0; j < rect.height; ++j) {
        const std::uint8_t* line = pixels + static_cast<std::size_t>(j) * rect.width * 4;
        for (int i = 0; i < rect.width; i += 4) {
            const int last = std::min(i + 4, rect.width);
            if (last == i + 4) {
                std::uint64_t a, b;
                std::memcpy(&a, line + 4 * i, 8);
                std::memcpy(&b, line + 4 * i + 8, 8);
                if (((a | b) & kColourBits) == 0) continue;
            }
            for (int q = i; q < last; ++q) {
                const std::uint8_t* p = line + 4 * q;
                if (greyLevel(p[0], p[1], p[2]) == 0) continue;
                mark(rect.x + q, rect.y + j, p);
            }
        }
    }
}

// The same over every part of a slab's cover, read one after another.
template <typename Mark>
void forEachDrawn(const std::vector<std::uint8_t>& pixels, const SlabFaces::Cover& cover, Mark mark) {
    const std::uint8_t* at = pixels.data();
    for (const SlabFaces::Rect& part : cover.parts) {
        forEachDrawn(at, part, mark);
        at += static_cast<std::size_t>(part.width) * part.height * 4;
    }
}

constexpr std::uint32_t opaqueBlack() {
    // Bytes (0, 0, 0, 255) in memory order, whatever the byte order.
    return std::endian::native == std::endian::little ? 0xFF000000u : 0x000000FFu;
}

}  // namespace

void ClipVoxelizer::renderClipSlab(const VoxelizeContext& context, const SlabState& slab,
                                   const std::uint32_t* indices, std::size_t count, const SlabFaces::Rect& rect) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(rect.x, rect.y, rect.width, rect.height);
    // The frame cube fills the view; depth reaches twice as far, so no face
    // is cut by the near or far plane, only by the slab's clip planes.
    startFrameView(slab.width, slab.height, kFrameSide);
    glMultMatrixf(axisRotation(kClipPasses[slab.axis].view).m);
    // Plane equations are taken with this model-view, so in mesh coordinates.
    glClipPlane(GL_CLIP_PLANE0, slab.clipPlane0);
    glEnable(GL_CLIP_PLANE0);
    glClipPlane(GL_CLIP_PLANE1, slab.clipPlane1);
    glEnable(GL_CLIP_PLANE1);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    context.drawer.drawIndices(indices, count);
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE1);
    glDisable(GL_SCISSOR_TEST);
}

template <typename ReadPart>
void ClipVoxelizer::readCover(int j, ReadPart read) {
    const SlabFaces::Cover& cover = covers_[static_cast<std::size_t>(j)];
    pixels_.resize(cover.pixels() * 4);
    std::uint8_t* at = pixels_.data();
    for (const SlabFaces::Rect& part : cover.parts) {
        read(part, at);
        at += static_cast<std::size_t>(part.width) * part.height * 4;
    }
    cover_ = &cover;
}

// Draws the slabs `first` .. `first + count - 1` of the current pass, each
// into a target of its own, before reading any back: llvmpipe rasterizes a
// slab while the next one is drawn instead of stopping at every read. Then
// hands each slab in order to `use(k, drawn)`, with its cover in cover_
// and its pixels in pixels_ when drawn (no face can reach an undrawn slab).
template <typename Use>
void ClipVoxelizer::drawSlabs(const VoxelizeContext& context, SlabState& slab, int first, int count, Use use) {
    if (bandActive_) {
        drawBand(context, slab, first, count, use);
        return;
    }
    for (int j = 0; j < count; ++j) {
        placeSlab(slab, first + j);
        const std::vector<std::uint32_t>& indices = slabFaces_.advanceTo(first + j);
        slabFaces_.coverage(slab.axis, covers_[j], coverRows_);
        if (covers_[j].empty()) continue;
        targets_[j].bind();
        renderClipSlab(context, slab, indices.data(), indices.size(), covers_[j].all);
        targets_[j].unbind();
    }
    for (int j = 0; j < count; ++j) {
        const bool drawn = !covers_[j].empty();
        if (drawn) {
            targets_[j].bind();
            readCover(j, [&](const SlabFaces::Rect& r, std::uint8_t* to) {
                targets_[j].readPixels(r.x, r.y, r.width, r.height, to);
            });
            targets_[j].unbind();
        }
        if (!use(first + j, drawn)) return;
    }
}

// The same for a band of slabs sent to one layered target (SlabBand). The
// slabs' faces and rectangles come first, so that every layer is cleared
// before any slab is drawn; a view the band can't copy exactly sends the
// slabs one by one through a target of their own.
template <typename Use>
void ClipVoxelizer::drawBand(const VoxelizeContext& context, SlabState& slab, int first, int count, Use use) {
    for (int j = 0; j < count; ++j) {
        const std::vector<std::uint32_t>& indices = slabFaces_.advanceTo(first + j);
        slabFaces_.coverage(slab.axis, covers_[j], coverRows_);
        if (!covers_[j].empty()) layerIndices_[j] = indices;
    }
    const bool banded = band_.begin(slab, count, covers_.data());
    if (banded) {
        for (int j = 0; j < count; ++j) {
            if (covers_[j].empty()) continue;
            placeSlab(slab, first + j);
            band_.drawSlab(context, slab, j, layerIndices_[j].data(), layerIndices_[j].size());
            // Hands what is drawn so far to the rasterizer's threads, so that
            // they work while the next slabs are sent.
            if (j % kSlabsPerFlush == kSlabsPerFlush - 1) glFlush();
        }
        band_.end();
        stats_.bandSlabs += count;
    }
    for (int j = 0; j < count; ++j) {
        const bool drawn = !covers_[j].empty();
        if (drawn && banded) {
            readCover(j, [&](const SlabFaces::Rect& r, std::uint8_t* to) { band_.readLayer(j, r, to); });
        } else if (drawn) {
            placeSlab(slab, first + j);
            targets_[0].bind();
            renderClipSlab(context, slab, layerIndices_[j].data(), layerIndices_[j].size(), covers_[j].all);
            readCover(j, [&](const SlabFaces::Rect& r, std::uint8_t* to) {
                targets_[0].readPixels(r.x, r.y, r.width, r.height, to);
            });
            targets_[0].unbind();
        }
        if (!use(first + j, drawn)) return;
    }
}

void ClipVoxelizer::keepSurface(const SlabState& slab, int k) {
    // Stack voxel (slice, row, column) of frame cell (Lx, Ly, Lz) is
    // (ny-1-Ly, Lx, Lz). XZ: window (x, y) is cell (x, y) on layer z =
    // nz-1-k; YZ: window (x, y) is cell (z, y) = (x, y) on layer x = nx-1-k.
    const int axis = slab.axis, h = slab.height, last = slab.size - 1;
    forEachDrawn(pixels_, *cover_, [&](int x, int y, const std::uint8_t* p) {
        const int py = h - 1 - y;  // image row, 0 at the top
        const std::uint32_t rgb = static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
        if (axis == 1) stored_.add(h - 1 - py, x, last - k, rgb);
        else stored_.add(py, last - k, x, rgb);
    });
}

WriteResult ClipVoxelizer::voxelizeClipping(const VoxelizeContext& context) {
    const FrameGrid& frame = context.frame;
    const int nx = frame.dims[0], ny = frame.dims[1], nz = frame.dims[2];
    // Every pass's picture fits: XY is nx x nz, XZ nx x ny, YZ nz x ny.
    const int width = std::max(nx, nz), height = std::max(ny, nz);
    stats_ = BandStats();
    // Every grid's passes share the frame cube's projection (a box grid
    // stretches the mesh, not the view), so bands draw any grid exactly;
    // their target is as large as the largest pass's picture.
    bandActive_ = bandsEnabled_ && band_.prepare(context.loader, width, height, context.drawer, bandsOnAnyGL_, nullptr);
    // On llvmpipe a read is a copy out of memory the CPU holds, and reading
    // a slab in many small parts saves most of it; a GPU's reads are
    // transfers with a cost per call, and read each slab's rectangle whole.
    coverRows_ = SlabBand::provenOnThisGL() ? 0 : std::max(width, height);
    if (!bandActive_) band_.release();  // its arrays are large
    // Fewer targets in flight for large pictures: each holds 8 bytes a
    // pixel. A band keeps one for the slabs it hands back.
    const int batch = bandActive_ ? band_.layers() : std::max(width, height) > 2048 ? 2 : kSlabBatch;
    const int targets = bandActive_ ? 1 : batch;
    covers_.resize(static_cast<std::size_t>(batch));
    layerIndices_.resize(static_cast<std::size_t>(batch));
    for (int j = 0; j < targets; ++j) {
        if (!targets_[j].hasSize(width, height) && !targets_[j].create(context.loader, width, height))
            return runFailure("no usable OpenGL render target of " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels");
    }
    for (int j = targets; j < kSlabBatch; ++j) targets_[j].release();
    SlabState slab;
    // Output slices run down y: ny of them, nz x nx pixels.
    stored_.reset(ny, nz);
    for (int axis : {1, 2}) {
        fitGrid(slab, context.mesh, frame, axis, context.log);
        const int n = slab.size;
        ProgressStep step(context.progress, kClipPasses[axis].label, n);
        slabFaces_.build(context.mesh.positions, context.faces, slab);
        for (int k = 0; k < n; k += batch) {
            drawSlabs(context, slab, k, std::min(batch, n - k), [&](int slabIndex, bool drawn) {
                step.setValue(slabIndex);
                if (drawn) keepSurface(slab, slabIndex);
                return true;
            });
        }
    }

    WriteResult begun = context.consumer.begin(context.info);
    if (!begun.ok) return begun;
    {
        ProgressStep step(context.progress, kClipPasses[0].label, ny);
        fitGrid(slab, context.mesh, frame, 0, context.log);
        const int n = ny;
        slabFaces_.build(context.mesh.positions, context.faces, slab);
        // Slices are nx rows of nz pixels. Only the rows' spans the last
        // slice marked are cleared for the next: at large N most rows stay
        // empty from slice to slice.
        slice_.assign(static_cast<std::size_t>(nz) * nx, opaqueBlack());
        sliceRows_.reset(nx);
        WriteResult written;
        // Shorter bands here: each slab becomes a slice to encode, and the
        // encoders work while the next band is drawn only if slices reach
        // them a few at a time.
        const int xyBatch = bandActive_ ? std::min(batch, kXYBand) : batch;
        for (int k = 0; k < n && written.ok; k += xyBatch) {
            drawSlabs(context, slab, k, std::min(xyBatch, n - k), [&](int slabIndex, bool drawn) {
                step.setValue(slabIndex);
                for (int r = 0; r < nx; ++r) {
                    if (sliceRows_.empty(r)) continue;
                    const auto row = slice_.begin() + static_cast<std::ptrdiff_t>(r) * nz;
                    std::fill(row + sliceRows_.first(r), row + sliceRows_.end(r), opaqueBlack());
                }
                sliceRows_.reset(nx);
                auto* rgba = reinterpret_cast<std::uint8_t*>(slice_.data());
                if (drawn) {
                    // The XY picture is the slice transposed: window column x
                    // is the slice row, image row (from the top) the column.
                    forEachDrawn(pixels_, *cover_, [&](int x, int y, const std::uint8_t* p) {
                        std::memcpy(rgba + 4 * (static_cast<std::size_t>(x) * nz + (nz - 1 - y)), p, 3);
                        sliceRows_.mark(x, nz - 1 - y);
                    });
                }
                stored_.paint(slabIndex, rgba, sliceRows_);
                stored_.release(slabIndex);
                written = context.consumer.sliceWithRows(slabIndex, rgba, sliceRows_);
                return written.ok;
            });
        }
        if (!written.ok) return written;
    }
    ProgressStep step(context.progress, "Saving Voxels: (Step 4 of 4)", ny);
    fitGrid(slab, context.mesh, frame, 2, context.log);
    return context.consumer.end();
}

}  // namespace kubelmar
