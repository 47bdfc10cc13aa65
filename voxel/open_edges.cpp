#include "voxel/open_edges.h"

#include <algorithm>

#include "mesh/mesh_topology.h"

namespace kubelmar {

long countOpenEdges(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faces) {
    const std::vector<std::uint32_t> id = positionIds(positions);

    // Every edge as (smaller id, larger id); a closed surface lists each twice.
    std::vector<std::uint64_t> edges;
    edges.reserve(faces.size());
    for (std::size_t f = 0; f + 2 < faces.size(); f += 3) {
        const std::uint32_t c[3] = {id[faces[f]], id[faces[f + 1]], id[faces[f + 2]]};
        if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0]) continue;
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t a = c[e], b = c[(e + 1) % 3];
            edges.push_back(static_cast<std::uint64_t>(std::min(a, b)) << 32 | std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    long open = 0;
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i;
        while (j < edges.size() && edges[j] == edges[i]) ++j;
        open += (j - i) != 2;
        i = j;
    }
    return open;
}

}  // namespace kubelmar
