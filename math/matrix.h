#pragma once

#include "math/vec4.h"

namespace kubelmar {

// 3 x 3 float matrix, column-major: row r, column c at m[3c + r].
struct Mat3 {
    float m[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    static Mat3 identity();
    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
};

// 4 x 4 float matrix, column-major as glMultMatrixf takes it: row r, column c
// at m[4c + r]; m[12..14] is the translation.
struct Mat4 {
    float m[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    static Mat4 identity();
    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    // Overwrites all 16 elements with Rx(ax) * Ry(ay) * Rz(az), angles in
    // degrees (the same matrix three glRotatef calls x, y, z would build).
    void setRotationXYZ(float ax, float ay, float az);
};

// Rotation of the quaternion (q.x, q.y, q.z, q.w); the zero quaternion gives I.
void setRotationFromQuat(Mat3& m, const Vec4& q);
// a := a * b (a and b may be the same matrix).
void multiply(Mat3& a, const Mat3& b);
// Replaces t's upper-left 3 x 3 by r times t's current uniform scale.
void setRotationKeepScale(Mat4& t, const Mat3& r);

}  // namespace kubelmar
