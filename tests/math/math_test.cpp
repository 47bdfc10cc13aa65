#include <gtest/gtest.h>

#include "math/matrix.h"
#include "math/vec4.h"

namespace kubelmar {
namespace {

void expectVec(const Vec4& v, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

void expectMat3(const Mat3& m, std::initializer_list<float> expected) {
    int i = 0;
    for (const float e : expected) EXPECT_NEAR(m[i++], e, 1e-6f) << "element " << i - 1;
}

TEST(Vec4, ArithmeticTreatsWAsDocumented) {
    expectVec(Vec4(1.5f, 2.0f), 1.5f, 2, 0, 0);
    Vec4 v(3, 4, 0, 7);
    EXPECT_FLOAT_EQ(v.length(), 5.0f);  // w takes no part
    EXPECT_FLOAT_EQ(v.len, 5.0f);
    EXPECT_EQ(Vec4(v).len, 0.0f);  // len is not carried by a copy

    Vec4 n(0, 0, 2, 1);
    n.normalize();
    expectVec(n, 0, 0, 1, 0.5f);
    Vec4 s(1, 2, 3, 4);
    s *= 2.0;
    expectVec(s, 2, 4, 6, 4);
    expectVec(Vec4(1, 2, 3, 4) - Vec4(1, 1, 1, 1), 0, 1, 2, 3);
    expectVec(Vec4(2, 4, 6, 8) / 2.0, 1, 2, 3, 4);

    Vec4 t(0, 0, 0, 9);
    t.setTriangleNormal(Vec4(0, 0, 0), Vec4(1, 0, 0), Vec4(0, 1, 0));
    expectVec(t, 0, 0, -1, 9);  // away from the viewer who sees the corners counter-clockwise
}

TEST(Mat3, QuaternionsAndProducts) {
    Mat3 m;
    for (const Vec4& q : {Vec4(0, 0, 0, 0), Vec4(0, 0, 0, 1), Vec4(0, 0, 0, 2)}) {
        setRotationFromQuat(m, q);
        expectMat3(m, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    }
    Mat3 rz, rx;
    setRotationFromQuat(rz, Vec4(0, 0, 3, 3));  // 90 about z, unnormalised: x -> y
    setRotationFromQuat(rx, Vec4(1, 0, 0, 1));  // 90 about x
    expectMat3(rz, {0, 1, 0, -1, 0, 0, 0, 0, 1});

    // Rz * Rx applies Rx first: x -> x -> y, y -> z -> z, z -> -y -> x.
    m = rz;
    multiply(m, rx);
    expectMat3(m, {0, 1, 0, 0, 0, 1, 1, 0, 0});
    multiply(m, Mat3::identity());
    expectMat3(m, {0, 1, 0, 0, 0, 1, 1, 0, 0});
    multiply(rz, rz);  // aliased: 180 about z
    expectMat3(rz, {-1, 0, 0, 0, -1, 0, 0, 0, 1});
}

TEST(Mat4, SetRotationKeepScaleKeepsScaleAndTranslation) {
    Mat4 t = Mat4::identity();
    t[0] = t[5] = t[10] = 2.0f;
    t[12] = 5, t[13] = 6, t[14] = 7;
    Mat3 r;
    setRotationFromQuat(r, Vec4(0, 0, 1, 1));
    setRotationKeepScale(t, r);
    const float expected[16] = {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 5, 6, 7, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(t[i], expected[i], 1e-6f) << i;
}

TEST(Mat4, SetRotationXYZIsRxRyRz) {
    Mat4 m;
    m.setRotationXYZ(90, 0, 0);
    EXPECT_NEAR(m[5], 0, 1e-6f);
    EXPECT_EQ(m[6], 1);
    EXPECT_EQ(m[9], -1);
    EXPECT_EQ(m[0], 1);

    Mat4 x, y, z;
    x.setRotationXYZ(30, 0, 0);
    y.setRotationXYZ(0, 40, 0);
    z.setRotationXYZ(0, 0, 50);
    Mat3 product, ry, rz;
    for (int i = 0; i < 9; ++i) {
        product[i] = x[4 * (i / 3) + i % 3];
        ry[i] = y[4 * (i / 3) + i % 3];
        rz[i] = z[4 * (i / 3) + i % 3];
    }
    multiply(product, ry);
    multiply(product, rz);
    m.setRotationXYZ(30, 40, 50);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[4 * (i / 3) + i % 3], product[i], 1e-6f) << i;
    EXPECT_TRUE(m[15] == 1 && m[12] == 0);
}

}  // namespace
}  // namespace kubelmar
