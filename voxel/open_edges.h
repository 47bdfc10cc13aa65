#pragma once

#include <cstdint>
#include <vector>

#include "math/float3.h"

namespace kubelmar {

// Counts the edges of a triangle mesh that are not shared by exactly two
// faces: boundary edges (one face) and non-manifold ones (three or more).
// A closed surface has none; parity along a ray leaks through the others.
// Corners are matched by position (x, y, z exactly), since the reader may
// split one position into several vertices (per material or texture
// coordinate). `faces` holds 3 vertex indices per face; faces with two
// corners at one position have no area and are skipped.
long countOpenEdges(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faces);

}  // namespace kubelmar
