#include "mesh/mesh_topology.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace kubelmar {

namespace {

// Union-find over faces, remembering for each face whether its winding is
// flipped relative to its root's (parity of the path).
class OrientedSets {
public:
    explicit OrientedSets(std::size_t count) : parent_(count), flip_(count, 0) {
        std::iota(parent_.begin(), parent_.end(), 0u);
    }
    std::uint32_t find(std::uint32_t f) {
        std::uint32_t root = f;
        std::uint8_t flip = 0;
        while (parent_[root] != root) {
            flip ^= flip_[root];
            root = parent_[root];
        }
        // Compress: every face on the path points at the root directly.
        while (parent_[f] != root) {
            const std::uint32_t next = parent_[f];
            const std::uint8_t rest = flip ^ flip_[f];
            flip_[f] = flip;
            parent_[f] = root;
            flip = rest;
            f = next;
        }
        return root;
    }
    std::uint8_t flipOf(std::uint32_t f) {
        find(f);
        return parent_[f] == f ? 0 : flip_[f];
    }
    // Joins the sets of a and b; `relative` is 1 when b's winding is flipped
    // against a's. A join that contradicts an earlier one (a surface that
    // can't be wound consistently) keeps the earlier.
    void join(std::uint32_t a, std::uint32_t b, std::uint8_t relative) {
        const std::uint8_t fa = flipOf(a), fb = flipOf(b);
        const std::uint32_t ra = find(a), rb = find(b);
        if (ra == rb) return;
        parent_[rb] = ra;
        flip_[rb] = fa ^ fb ^ relative;
    }

private:
    std::vector<std::uint32_t> parent_;
    std::vector<std::uint8_t> flip_;
};

}  // namespace

std::vector<std::uint32_t> positionIds(const std::vector<Float3>& positions) {
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
    return id;
}

MeshTopology measureTopology(const std::vector<Float3>& positions, const std::vector<std::uint32_t>& faces) {
    MeshTopology t;
    const std::vector<std::uint32_t> id = positionIds(positions);

    // Every edge of every face: (smaller id, larger id), whether the face
    // runs it from the smaller, and the face.
    struct EdgeUse {
        std::uint64_t edge;
        std::uint32_t face;
        bool forward;
    };
    std::vector<EdgeUse> uses;
    uses.reserve(faces.size());
    std::uint32_t faceCount = 0;
    for (std::size_t f = 0; f + 2 < faces.size(); f += 3) {
        const std::uint32_t c[3] = {id[faces[f]], id[faces[f + 1]], id[faces[f + 2]]};
        if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0]) continue;
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t a = c[e], b = c[(e + 1) % 3];
            uses.push_back({static_cast<std::uint64_t>(std::min(a, b)) << 32 | std::max(a, b), faceCount, a < b});
        }
        ++faceCount;
    }
    t.faces = faceCount;
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& a, const EdgeUse& b) {
        return std::tie(a.edge, a.face) < std::tie(b.edge, b.face);
    });

    // Shells join faces across every shared edge; windings are compared
    // only across edges of exactly two faces.
    OrientedSets shells(faceCount), windings(faceCount);
    std::vector<std::uint8_t> open(faceCount, 0);  // the face has a boundary or non-manifold edge
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i;
        while (j < uses.size() && uses[j].edge == uses[i].edge) ++j;
        ++t.edges;
        const std::size_t count = j - i;
        if (count == 2) {
            // Two faces wound alike run a shared edge in opposite directions.
            const bool same = uses[i].forward == uses[i + 1].forward;
            t.inconsistentEdges += same;
            windings.join(uses[i].face, uses[i + 1].face, same ? 1 : 0);
            shells.join(uses[i].face, uses[i + 1].face, 0);
        } else {
            (count == 1 ? t.boundaryEdges : t.nonManifoldEdges) += 1;
            for (std::size_t k = i; k < j; ++k) {
                open[uses[k].face] = 1;
                if (k > i) shells.join(uses[i].face, uses[k].face, 0);
            }
        }
        i = j;
    }

    // Faces by winding relative to their wound piece's root; open shells.
    std::vector<long> alike(faceCount, 0), against(faceCount, 0);
    std::vector<std::uint8_t> shellOpen(faceCount, 0);
    for (std::uint32_t f = 0; f < faceCount; ++f) {
        const std::uint32_t root = windings.find(f);
        (windings.flipOf(f) ? against : alike)[root] += 1;
        shellOpen[shells.find(f)] |= open[f];
    }
    for (std::uint32_t f = 0; f < faceCount; ++f) {
        if (windings.find(f) == f) t.flippedFaces += std::min(alike[f], against[f]);
        if (shells.find(f) != f) continue;
        ++t.shells;
        t.closedShells += !shellOpen[f];
    }
    return t;
}

}  // namespace kubelmar
