#include "math/vec4.h"

#include <cmath>

namespace kubelmar {

Vec4::Vec4(int n)
    : x(static_cast<float>(n)), y(static_cast<float>(n)), z(static_cast<float>(n)),
      w(static_cast<float>(n)) {}

Vec4::Vec4(float x_, float y_) : x(x_), y(y_) {}

Vec4::Vec4(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

Vec4::Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

Vec4& Vec4::operator=(const Vec4& o) {
    // len stays: it belongs to this vector's last length() call, not o's.
    x = o.x;
    y = o.y;
    z = o.z;
    w = o.w;
    return *this;
}

float Vec4::length() {
    const float squares = x * x + y * y + z * z;
    len = std::sqrt(squares);
    return len;
}

void Vec4::normalize() {
    const float l = length();
    x /= l;
    y /= l;
    z /= l;
    w /= l;
}

void Vec4::cross(const Vec4& a, const Vec4& b) {
    // Read everything first: a or b may be this vector.
    const float cx = a.y * b.z - a.z * b.y;
    const float cy = a.z * b.x - a.x * b.z;
    const float cz = a.x * b.y - a.y * b.x;
    x = cx;
    y = cy;
    z = cz;
}

float Vec4::dot(const Vec4& b) const { return x * b.x + y * b.y + z * b.z; }

void Vec4::setTriangleNormal(const Vec4& p0, const Vec4& p1, const Vec4& p2) {
    const Vec4 e0(p1.x - p2.x, p1.y - p2.y, p1.z - p2.z);
    const Vec4 e1(p0.x - p1.x, p0.y - p1.y, p0.z - p1.z);
    cross(e0, e1);
}

Vec4 Vec4::operator+(const Vec4& b) const { return Vec4(x + b.x, y + b.y, z + b.z, w + b.w); }

Vec4 Vec4::operator-(const Vec4& b) const { return Vec4(x - b.x, y - b.y, z - b.z, w - b.w); }

Vec4& Vec4::operator+=(const Vec4& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    w += b.w;
    return *this;
}

Vec4& Vec4::operator-=(const Vec4& b) {
    x -= b.x;
    y -= b.y;
    z -= b.z;
    w -= b.w;
    return *this;
}

Vec4& Vec4::operator*=(double s) {
    x = static_cast<float>(x * s);
    y = static_cast<float>(y * s);
    z = static_cast<float>(z * s);
    return *this;
}

Vec4 Vec4::operator/(double d) const {
    return Vec4(static_cast<float>(x / d), static_cast<float>(y / d), static_cast<float>(z / d),
                static_cast<float>(w / d));
}

}  // namespace kubelmar
