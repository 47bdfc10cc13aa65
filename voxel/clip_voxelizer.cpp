#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

#include "voxel/engine.h"
#include "voxel/slice_writer.h"

namespace kubelmar {

// The "Clipping Based" mode: the mesh is cut into slabs one voxel thick along
// y, then z, then x; each slab is rendered between two clip planes and every
// drawn pixel marks the voxel under it with the surface colour. All passes
// store mesh cell (Lx, Ly, Lz) (counted from the cube's negative end) in
// voxel (N-1-Ly, Lx, Lz).

namespace {

struct ClipPass {
    const char* label;
    float a, b, c;  // axis rotation, degrees
};

// Eye coordinates of a mesh point per pass: XY (x, -z, y) seen from +y;
// XZ (x, -y, -z) seen from -z; YZ (z, y, -x) seen from -x.
constexpr ClipPass kPasses[3] = {
    {"Slicing XY: (Step 1 of 4)", 90, 0, 0},
    {"Slicing XZ: (Step 2 of 4)", 180, 0, 0},
    {"Slicing YZ: (Step 3 of 4)", 0, 90, 0},
};

float slabAxisValue(const Vec4& p, int axis) { return axis == 0 ? p.y : axis == 1 ? p.z : p.x; }

// Faces grouped by the slabs they may reach, each group in face order, so a
// slab draws only its own faces yet in the order a full draw would. The
// grouping is generous by one slab on each side; the clip planes decide.
struct SlabBuckets {
    std::vector<std::size_t> offsets;  // N + 1 offsets into indices
    std::vector<std::uint32_t> indices;

    void build(const Mesh& mesh, const std::vector<std::uint32_t>& faceIndices, const SlabState& slab) {
        const int n = slab.size;
        std::vector<std::pair<int, int>> range(static_cast<std::size_t>(mesh.faceCount));
        offsets.assign(static_cast<std::size_t>(n) + 1, 0);
        for (int f = 0; f < mesh.faceCount; ++f) {
            float lo = INFINITY, hi = -INFINITY;
            for (int k = 0; k < 3; ++k) {
                const float v = slabAxisValue(mesh.positions[faceIndices[3 * f + k]], slab.axis);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            // Slab k covers [half - (k+1) step, half - k step].
            const double first = std::floor((slab.half - hi) / slab.gridStep) - 1;
            const double last = std::floor((slab.half - lo) / slab.gridStep) + 1;
            const int k0 = static_cast<int>(std::clamp(first, 0.0, n - 1.0));
            const int k1 = static_cast<int>(std::clamp(last, 0.0, n - 1.0));
            range[f] = {k0, k1};
            for (int k = k0; k <= k1; ++k) offsets[k + 1] += 3;
        }
        for (int k = 0; k < n; ++k) offsets[k + 1] += offsets[k];
        indices.resize(offsets[n]);
        std::vector<std::size_t> fill(offsets.begin(), offsets.end() - 1);
        for (int f = 0; f < mesh.faceCount; ++f) {
            for (int k = range[f].first; k <= range[f].second; ++k) {
                std::copy_n(&faceIndices[3 * f], 3, &indices[fill[k]]);
                fill[k] += 3;
            }
        }
    }
};

}  // namespace

void Engine::renderClipSlab(int axis) {
    const std::vector<std::uint32_t>& all = drawer_.faceIndices();
    renderClipSlab(axis, all.data(), all.size());
}

void Engine::renderClipSlab(int axis, const std::uint32_t* indices, std::size_t count) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, voxelSize, voxelSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -2048, 2048);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setAxisView(kPasses[axis].a, kPasses[axis].b, kPasses[axis].c);
    glMultMatrixf(arcBall.transform.m);
    // Plane equations are taken with this model-view, so in mesh coordinates.
    glClipPlane(GL_CLIP_PLANE0, slab.clipPlane0);
    glEnable(GL_CLIP_PLANE0);
    glClipPlane(GL_CLIP_PLANE1, slab.clipPlane1);
    glEnable(GL_CLIP_PLANE1);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    drawer_.drawIndices(indices, count);
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE1);
}

// Copies every drawn pixel of slab k (RGBA, bottom row first) into its voxel.
// A pixel whose grey level is 0 is background and marks nothing.
void Engine::storeSlab(int axis, int k, const std::vector<std::uint8_t>& rgba) {
    const int n = voxelSize;
    constexpr std::uint64_t kColourBits = 0x00FFFFFF00FFFFFFull;  // RGB of two pixels
    for (int y = 0; y < n; ++y) {
        const int py = n - 1 - y;  // image row, 0 at the top
        const std::uint8_t* line = rgba.data() + static_cast<std::size_t>(y) * n * 4;
        for (int x = 0; x < n; x += 4) {
            const int last = std::min(x + 4, n);
            if (last == x + 4) {
                // Most of a slab is background: four pixels are tested at once.
                std::uint64_t a, b;
                std::memcpy(&a, line + 4 * x, 8);
                std::memcpy(&b, line + 4 * x + 8, 8);
                if (((a | b) & kColourBits) == 0) continue;
            }
            for (int px = x; px < last; ++px) {
                const std::uint8_t* p = line + 4 * px;
                if (greyLevel(p[0], p[1], p[2]) == 0) continue;
                int s, r, c;
                if (axis == 0) { s = k; r = px; c = py; }
                else if (axis == 1) { s = n - 1 - py; r = px; c = n - 1 - k; }
                else { s = py; r = n - 1 - k; c = px; }
                std::uint8_t* voxel = voxels.row(s, r) + 3 * c;
                voxel[0] = p[0];
                voxel[1] = p[1];
                voxel[2] = p[2];
            }
        }
    }
}

VoxelizeResult Engine::voxelizeClipping(Progress& progress) {
    const int n = voxelSize;
    voxels.clear();
    SlabBuckets buckets;
    for (int axis = 0; axis < 3; ++axis) {
        ProgressStep step(progress, kPasses[axis].label, n);
        fitGrid(slab, mesh, n, axis, out());
        if (cullFacesPerSlab) buckets.build(mesh, drawer_.faceIndices(), slab);
        for (int k = 0; k < n; ++k) {
            step.setValue(k);
            placeSlab(slab, k);
            viewTarget_.bind();
            if (cullFacesPerSlab) {
                renderClipSlab(axis, buckets.indices.data() + buckets.offsets[k],
                               buckets.offsets[k + 1] - buckets.offsets[k]);
            } else {
                renderClipSlab(axis);
            }
            viewTarget_.readPixels(pixels_);
            viewTarget_.unbind();
            storeSlab(axis, k, pixels_);
        }
    }

    ProgressStep step(progress, "Saving Voxels: (Step 4 of 4)", n);
    fitGrid(slab, mesh, n, 2, out());
    VoxelizeResult result = saveColorSlices(voxels, outputDirectory, progress);
    if (!result.ok) return result;
    WriteResult scale = saveVoxelScale(outputDirectory, meshExtent, n);
    if (!scale.ok) {
        scale.filesWritten += result.filesWritten;
        return scale;
    }
    ++result.filesWritten;
    return result;
}

}  // namespace kubelmar
