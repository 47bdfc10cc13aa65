#pragma once

#include <cmath>

namespace kubelmar {

// Three packed floats (12 bytes, no padding): an array of them is the tight
// x y z array a GL vertex buffer takes. Positions in mesh units, normals,
// box corners. Arithmetic is single precision throughout.
struct Float3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    bool operator==(const Float3&) const = default;
};
static_assert(sizeof(Float3) == 3 * sizeof(float));

inline Float3 operator-(const Float3& a, const Float3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline Float3& operator+=(Float3& a, const Float3& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}

// sqrt(x*x + y*y + z*z), sum and root each rounded to float.
inline float length(const Float3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

inline Float3 cross(const Float3& a, const Float3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// (p1 - p2) x (p0 - p1), not normalised: |n| = 2 * area, pointing to the side
// from which p0 p1 p2 run clockwise.
inline Float3 triangleNormal(const Float3& p0, const Float3& p1, const Float3& p2) {
    return cross(p1 - p2, p0 - p1);
}

}  // namespace kubelmar
