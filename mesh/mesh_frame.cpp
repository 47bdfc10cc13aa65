// Framing a freshly read mesh: measuring its box and moving it into the
// view cube.
#include "mesh/mesh_frame.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace kubelmar {

double MeshBox::largestSide() const {
    return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
}

MeshBox measureMesh(const Mesh& mesh) {
    assert(!mesh.positions.empty());
    // Min and max of floats are exact in either precision: the box is the
    // file's own numbers.
    MeshBox box;
    const Float3& first = mesh.positions[0];
    box.low = box.high = {first.x, first.y, first.z};
    for (const Float3& p : mesh.positions) {
        const double c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            box.low[a] = std::min(box.low[a], c[a]);
            box.high[a] = std::max(box.high[a], c[a]);
        }
    }
    return box;
}

void frameMesh(Mesh& mesh, const MeshBox& box, float size) {
    // The single-precision rule, step by step as it always ran: side as a
    // float difference, factor 1 / side, x * factor and * size each rounded
    // to float, centre of the scaled box in float, subtraction in float.
    float side = 0.0f;
    for (int a = 0; a < 3; ++a)
        side = std::max(side, static_cast<float>(box.high[a]) - static_cast<float>(box.low[a]));
    const float factor = 1.0f / side;
    auto scaled = [&](float x) {
        return static_cast<float>(static_cast<double>(static_cast<float>(x * static_cast<double>(factor))) * size);
    };
    float centre[3];
    for (int a = 0; a < 3; ++a)
        centre[a] = (scaled(static_cast<float>(box.low[a])) + scaled(static_cast<float>(box.high[a]))) * 0.5f;

    // The double-precision rule: centre and scale exact to double, one rounding.
    const double scale = size / box.largestSide();
    double exactCentre[3];
    for (int a = 0; a < 3; ++a) exactCentre[a] = (box.low[a] + box.high[a]) * 0.5;

    auto single = [&](float x, int a) { return scaled(x) - centre[a]; };
    auto exact = [&](float x, int a) { return static_cast<float>((x - exactCentre[a]) * scale); };

    bool singleHolds = std::isfinite(side) && side > 0.0f;
    for (std::size_t i = 0; singleHolds && i < mesh.positions.size(); ++i) {
        const Float3& p = mesh.positions[i];
        const float c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            const float s = single(c[a], a);
            // A NaN or infinity fails the comparison too.
            if (!(std::fabs(static_cast<double>(s) - exact(c[a], a)) <= kFrameTolerance)) singleHolds = false;
        }
    }
    for (Float3& p : mesh.positions) {
        if (singleHolds) {
            p.x = single(p.x, 0);
            p.y = single(p.y, 1);
            p.z = single(p.z, 2);
        } else {
            p.x = exact(p.x, 0);
            p.y = exact(p.y, 1);
            p.z = exact(p.z, 2);
        }
    }
}

}  // namespace kubelmar
