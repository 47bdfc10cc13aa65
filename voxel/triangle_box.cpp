#include "voxel/triangle_box.h"

#include <algorithm>
#include <cmath>

namespace kubelmar {

namespace {

void sub(const double a[3], const double b[3], double out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}
double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

bool triangleTouchesBox(const double centre[3], const double half[3], const double a[3], const double b[3],
                        const double c[3]) {
    // The triangle relative to the box's centre.
    double v[3][3];
    sub(a, centre, v[0]);
    sub(b, centre, v[1]);
    sub(c, centre, v[2]);
    // Separated along an axis when the triangle's projection lies wholly
    // beyond the box's; touching projections are not separated.
    auto separated = [&](const double axis[3]) {
        const double p0 = dot(v[0], axis), p1 = dot(v[1], axis), p2 = dot(v[2], axis);
        const double radius = half[0] * std::abs(axis[0]) + half[1] * std::abs(axis[1]) + half[2] * std::abs(axis[2]);
        return std::min({p0, p1, p2}) > radius || std::max({p0, p1, p2}) < -radius;
    };
    // The box's normals: the bounding boxes.
    for (int i = 0; i < 3; ++i) {
        if (std::min({v[0][i], v[1][i], v[2][i]}) > half[i] || std::max({v[0][i], v[1][i], v[2][i]}) < -half[i])
            return false;
    }
    double edge[3][3];
    sub(v[1], v[0], edge[0]);
    sub(v[2], v[1], edge[1]);
    sub(v[0], v[2], edge[2]);
    // Edges crossed with the box's normals (a zero axis separates nothing).
    for (const auto& e : edge) {
        for (int i = 0; i < 3; ++i) {
            double unit[3] = {0, 0, 0}, axis[3];
            unit[i] = 1;
            cross(e, unit, axis);
            if (separated(axis)) return false;
        }
    }
    // The triangle's plane.
    double normal[3];
    cross(edge[0], edge[1], normal);
    return !separated(normal);
}

void nearestOnTriangle(const double p[3], const double a[3], const double b[3], const double c[3],
                       double weights[3]) {
    // Ericson, Real-Time Collision Detection 5.1.5: the Voronoi regions of
    // the corners, then the edges, then the face.
    double ab[3], ac[3], ap[3], bp[3], cp[3];
    sub(b, a, ab);
    sub(c, a, ac);
    sub(p, a, ap);
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    auto set = [&](double wa, double wb, double wc) {
        weights[0] = wa;
        weights[1] = wb;
        weights[2] = wc;
    };
    if (d1 <= 0 && d2 <= 0) return set(1, 0, 0);
    sub(p, b, bp);
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return set(0, 1, 0);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        const double t = d1 - d3 != 0 ? d1 / (d1 - d3) : 0;
        return set(1 - t, t, 0);
    }
    sub(p, c, cp);
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return set(0, 0, 1);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        const double t = d2 - d6 != 0 ? d2 / (d2 - d6) : 0;
        return set(1 - t, 0, t);
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
        const double t = (d4 - d3) + (d5 - d6) != 0 ? (d4 - d3) / ((d4 - d3) + (d5 - d6)) : 0;
        return set(0, 1 - t, t);
    }
    const double sum = va + vb + vc;
    if (sum == 0) return set(1, 0, 0);  // no area and no region found: any corner
    set(va / sum, vb / sum, vc / sum);
}

}  // namespace kubelmar
