#pragma once

#include <cstdint>
#include <vector>

#include "math/float3.h"
#include "voxel/grid_fit.h"

namespace kubelmar {

// Faces the clipping mode draws for one slab after another, without ever
// holding a list per slab: faces are sorted by the first slab they may reach
// and an active list (kept in face order) gains and loses faces as the slab
// moves down the axis. A slab's faces are those whose extent along the axis
// comes within a hundredth of a mesh unit of it (the clip planes cut the
// rest away whole; they decide) and come in face order, so the picture is
// the one a full draw gives.
class SlabFaces {
public:
    // `faceIndices` holds 3 vertex indices per face (face order); positions
    // are the prepared mesh's (mesh units).
    void build(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faceIndices,
               const SlabState& slab);
    // Moves to slab k (k = 0, 1, ... in order) and returns its faces' vertex
    // indices, 3 per face, in face order.
    const std::vector<std::uint32_t>& advanceTo(int k);

    // A window rectangle: pixels of the pass's picture, bottom row first.
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
    };

    // Where the current slab's faces can draw: `all`, the rectangle they can
    // cover, one pixel generous on each side (empty, width 0, when the slab
    // has no face), and within it disjoint parts, each a run of rows, that
    // together hold every pixel a face can cover (each face's own rectangle,
    // one pixel generous). A slab cuts
    // the surface along thin curves, and its faces' common rectangle is
    // mostly pixels no face reaches: clearing and reading only the parts
    // saves most of each slab's memory traffic at large N. Parts run over
    // bands of `bandRows` rows (0: about 32 bands a picture, at least 16
    // rows each); a band as tall as the picture gives the one rectangle.
    struct Cover {
        Rect all;
        std::vector<Rect> parts;
        bool empty() const { return all.width == 0; }
        std::size_t pixels() const;
    };
    void coverage(int pass, Cover& cover, int bandRows = 0) const;

private:
    const std::vector<Float3>* positions_ = nullptr;
    const std::vector<std::uint32_t>* faceIndices_ = nullptr;
    int size_ = 0;                 // slabs
    int width_ = 0, height_ = 0;   // the pass's picture, pixels
    std::vector<std::uint32_t> firstSlab_, lastSlab_;  // per face
    std::vector<std::uint32_t> byFirst_;               // faces sorted by first slab, then face
    std::vector<std::size_t> startOf_;                 // N + 1 offsets into byFirst_
    std::vector<std::uint32_t> active_, merged_;       // face numbers, ascending
    std::vector<std::uint32_t> indices_;
    mutable std::vector<int> bandX0_, bandX1_, bandY0_, bandY1_;  // coverage's scratch, per band of rows
};

// The faces worth drawing: exact repeats of a face (same three vertex indices
// in the same order) are dropped except for their last occurrence. With the
// depth test GL_LEQUAL a pixel ends up with the last fragment of least depth,
// and a repeat draws the same fragments as the face it repeats, so the
// picture is unchanged; a file of millions of copies of one face draws one.
std::vector<std::uint32_t> distinctFaces(const std::vector<std::uint32_t>& faceIndices);

}  // namespace kubelmar
