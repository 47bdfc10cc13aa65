#include "voxel/open_edges.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace kubelmar {

long countOpenEdges(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faces) {
    // One id per distinct position: vertices sorted by (x, y, z), equal runs
    // sharing the first one's rank.
    std::vector<std::uint32_t> order(positions.size());
    std::iota(order.begin(), order.end(), 0u);
    auto key = [&](std::uint32_t v) { return std::tie(positions[v].x, positions[v].y, positions[v].z); };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> id(positions.size());
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && key(order[i]) != key(order[i - 1])) ++next;
        id[order[i]] = next;
    }

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
