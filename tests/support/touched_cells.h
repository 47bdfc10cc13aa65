#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/mesh.h"
#include "voxel/triangle_box.h"

namespace kubelmar::test {

// Voxels the loaded (prepared) mesh touches, by trying every face against
// every voxel of its bounding box: cell (Lx, Ly, Lz) counted from the frame
// cube's low corner, at (Lz * N + Ly) * N + Lx.
inline std::vector<char> touchedCells(const Mesh& mesh, int n) {
    const double step = 2048.0 / n, half[3] = {step / 2, step / 2, step / 2};
    std::vector<char> touched(static_cast<std::size_t>(n) * n * n, 0);
    for (const Face& face : mesh.faces) {
        double v[3][3];
        int lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            const Float3& p = mesh.positions[face.index[k]];
            v[k][0] = p.x;
            v[k][1] = p.y;
            v[k][2] = p.z;
        }
        for (int a = 0; a < 3; ++a) {
            const double mn = std::min({v[0][a], v[1][a], v[2][a]}), mx = std::max({v[0][a], v[1][a], v[2][a]});
            lo[a] = std::max(0, static_cast<int>(std::floor((mn + 1024) / step)) - 1);
            hi[a] = std::min(n - 1, static_cast<int>(std::floor((mx + 1024) / step)) + 1);
        }
        for (int z = lo[2]; z <= hi[2]; ++z)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int x = lo[0]; x <= hi[0]; ++x) {
                    const double centre[3] = {-1024 + (x + 0.5) * step, -1024 + (y + 0.5) * step,
                                              -1024 + (z + 0.5) * step};
                    if (triangleTouchesBox(centre, half, v[0], v[1], v[2]))
                        touched[(static_cast<std::size_t>(z) * n + y) * n + x] = 1;
                }
    }
    return touched;
}

}  // namespace kubelmar::test
