#pragma once

namespace kubelmar {

// Four floats plus the length last computed by length()/normalize(), for the
// arcball and matrices (the mesh itself stores packed Float3 and Rgba).
// `len` is never copied or combined.
struct Vec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
    float len = 0.0f;

    Vec4() = default;
    explicit Vec4(int n);
    Vec4(float x, float y);
    Vec4(float x, float y, float z);
    Vec4(float x, float y, float z, float w);
    Vec4(const Vec4& o) : x(o.x), y(o.y), z(o.z), w(o.w) {}
    Vec4& operator=(const Vec4& o);

    // sqrt(x*x + y*y + z*z), sum and root each rounded to float; stored in len.
    float length();
    // Divides all four components (w included) by length(); no zero guard.
    void normalize();
    // this.xyz = a x b; w unchanged.
    void cross(const Vec4& a, const Vec4& b);
    float dot(const Vec4& b) const;
    // this.xyz = (p1 - p2) x (p0 - p1), not normalised (|n| = 2 * area).
    void setTriangleNormal(const Vec4& p0, const Vec4& p1, const Vec4& p2);

    Vec4 operator+(const Vec4& b) const;
    Vec4 operator-(const Vec4& b) const;
    Vec4& operator+=(const Vec4& b);
    Vec4& operator-=(const Vec4& b);
    Vec4& operator*=(double s);  // x, y, z only
    Vec4 operator/(double d) const;  // all four components
};

}  // namespace kubelmar
