#pragma once

#include <cstdint>
#include <vector>

#include "math/float3.h"

namespace kubelmar {

// What a triangle mesh is as a surface. Corners are matched by position
// (x, y, z exactly), since readers split one position into several vertices
// per material or texture coordinate; faces with two corners at one
// position have no edges and are left out.
struct MeshTopology {
    long faces = 0;              // faces with three distinct corner positions
    long edges = 0;              // distinct edges (position pairs)
    long boundaryEdges = 0;      // used by one face: a hole's rim
    long nonManifoldEdges = 0;   // used by three or more faces
    long inconsistentEdges = 0;  // used by two faces running it the same way: one of them is flipped
    // Faces wound against the rest of their shell: in each shell, the
    // smaller of the two groups that consistent winding across its
    // two-face edges splits it into.
    long flippedFaces = 0;
    long shells = 0;        // pieces of faces joined by shared edges
    long closedShells = 0;  // shells without boundary or non-manifold edges

    bool closed() const { return boundaryEdges == 0 && nonManifoldEdges == 0; }
    bool operator==(const MeshTopology&) const = default;
};

// `faces` holds 3 vertex indices per face into `positions`.
// One id per distinct position, for each vertex: vertices sorted by
// (x, y, z), equal runs sharing the first one's rank. Edges compared by
// these ids join faces that meet at a position even where the mesh split
// its vertices (per material or texture coordinate).
std::vector<std::uint32_t> positionIds(const std::vector<Float3>& positions);

MeshTopology measureTopology(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faces);

}  // namespace kubelmar
