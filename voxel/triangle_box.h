#pragma once

namespace kubelmar {

// Whether a triangle and an axis-aligned box share a point (Akenine-Möller's
// separating-axis test: the box's three normals, the triangle's normal and
// the nine cross products of their edges). Both are closed: a triangle that
// only touches a face, edge or corner of the box overlaps it, so a surface
// lying in a plane between two boxes overlaps both. Degenerate triangles
// (a segment, a point) are tested as what they are. Coordinates in any one
// frame; `half` holds the box's half sides.
bool triangleTouchesBox(const double centre[3], const double half[3], const double a[3], const double b[3],
                        const double c[3]);

// The point of triangle abc nearest to p, as barycentric weights of a, b, c.
void nearestOnTriangle(const double p[3], const double a[3], const double b[3], const double c[3],
                       double weights[3]);

}  // namespace kubelmar
