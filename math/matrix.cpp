#include "math/matrix.h"

#include <cmath>

namespace kubelmar {

Mat3 Mat3::identity() {
    Mat3 r;
    r.m[0] = r.m[4] = r.m[8] = 1.0f;
    return r;
}

Mat4 Mat4::identity() {
    Mat4 r;
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

void Mat4::setRotationXYZ(float ax, float ay, float az) {
    // Degrees to radians with the fixed double constant 3.141592654 / 180;
    // each angle, cosine and sine is rounded to float.
    constexpr double kDegToRad = 0.017453292522222223;
    const float ra = static_cast<float>(ax * kDegToRad);
    const float rb = static_cast<float>(ay * kDegToRad);
    const float rc = static_cast<float>(az * kDegToRad);
    const float ca = static_cast<float>(std::cos(static_cast<double>(ra)));
    const float sa = static_cast<float>(std::sin(static_cast<double>(ra)));
    const float cb = static_cast<float>(std::cos(static_cast<double>(rb)));
    const float sb = static_cast<float>(std::sin(static_cast<double>(rb)));
    const float cc = static_cast<float>(std::cos(static_cast<double>(rc)));
    const float sc = static_cast<float>(std::sin(static_cast<double>(rc)));

    m[0] = cb * cc;
    m[1] = sc * ca + cc * sb * sa;
    m[2] = sc * sa - sb * ca * cc;
    m[3] = 0.0f;
    m[4] = -cb * sc;
    m[5] = cc * ca - sb * sa * sc;
    m[6] = cc * sa + sc * sb * ca;
    m[7] = 0.0f;
    m[8] = sb;
    m[9] = -sa * cb;
    m[10] = cb * ca;
    m[11] = 0.0f;
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

void setRotationFromQuat(Mat3& m, const Vec4& q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    // 2 / n folds the normalisation of a non-unit quaternion into the products.
    const float s = n > 0.0f ? 2.0f / n : 0.0f;
    const float xx = q.x * q.x * s, yy = q.y * q.y * s, zz = q.z * q.z * s;
    const float xy = q.x * q.y * s, xz = q.x * q.z * s, yz = q.y * q.z * s;
    const float wx = q.w * q.x * s, wy = q.w * q.y * s, wz = q.w * q.z * s;

    m[0] = 1.0f - (yy + zz);
    m[1] = xy + wz;
    m[2] = xz - wy;
    m[3] = xy - wz;
    m[4] = 1.0f - (xx + zz);
    m[5] = yz + wx;
    m[6] = xz + wy;
    m[7] = yz - wx;
    m[8] = 1.0f - (xx + yy);
}

void multiply(Mat3& a, const Mat3& b) {
    // All nine results first: b may be a itself.
    Mat3 r;
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) {
            r[3 * c + row] = a[row] * b[3 * c] + a[3 + row] * b[3 * c + 1] + a[6 + row] * b[3 * c + 2];
        }
    }
    a = r;
}

void setRotationKeepScale(Mat4& t, const Mat3& r) {
    // Uniform scale of t: the mean squared column length of its 3 x 3 block,
    // square-rooted; 1 for a pure rotation.
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) {
            const double v = t[4 * c + row];
            sum += v * v;
        }
    }
    const float s = static_cast<float>(std::sqrt(sum / 3.0));
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) t[4 * c + row] = r[3 * c + row] * s;
    }
}

}  // namespace kubelmar
