#include "mesh_arrays.h"

#include <climits>
#include <cmath>
#include <vector>

namespace kubelmar {

namespace {

std::string row(std::size_t r) { return std::to_string(r); }

}  // namespace

std::string buildMeshFromArrays(const MeshArrays& arrays, Mesh& mesh) {
    const std::size_t n = arrays.vertexCount, m = arrays.faceCount;
    if (n == 0) return "vertices: no vertex given";
    if (n > static_cast<std::size_t>(INT_MAX) || m > static_cast<std::size_t>(INT_MAX))
        return "too many vertices or faces";

    std::vector<Float3> positions(n);
    for (std::size_t v = 0; v < n; ++v) {
        const double* p = arrays.vertices + 3 * v;
        // The positions are single precision, as a file's are read: a value
        // that doesn't fit would turn into infinity there.
        for (int a = 0; a < 3; ++a)
            if (!std::isfinite(p[a]) || !std::isfinite(static_cast<float>(p[a])))
                return "vertices: row " + row(v) + " is not finite in single precision";
        positions[v] = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    }

    std::vector<Rgba> colours;
    if (arrays.colours) {
        colours.resize(n);
        const double top = arrays.colourMaximum;
        for (std::size_t v = 0; v < n; ++v) {
            const double* c = arrays.colours + 3 * v;
            for (int a = 0; a < 3; ++a)
                if (!(c[a] >= 0.0 && c[a] <= top))
                    return "colours: row " + row(v) + " is outside 0.." + (top == 1.0 ? "1" : "255");
            // Alpha 0, as "vc" colours are stored (Mesh::build).
            colours[v] = {static_cast<float>(c[0] / top), static_cast<float>(c[1] / top),
                          static_cast<float>(c[2] / top), 0.0f};
        }
    }

    std::vector<int> faces(3 * m);
    for (std::size_t f = 0; f < m; ++f)
        for (int k = 0; k < 3; ++k) {
            const std::int64_t index = arrays.faces[3 * f + k];
            if (index < 0 || static_cast<std::uint64_t>(index) >= n)
                return "faces: row " + row(f) + " names vertex " + std::to_string(index) + ", but there are " +
                       std::to_string(n) + (n == 1 ? " vertex" : " vertices");
            faces[3 * f + k] = static_cast<int>(index);
        }

    Mesh built;
    built.build(positions, {}, colours, {}, faces);
    mesh = std::move(built);
    return {};
}

}  // namespace kubelmar
