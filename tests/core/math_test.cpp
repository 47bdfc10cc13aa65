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

TEST(Vec4, ConstructorsAndArithmeticTreatWAsDocumented) {
    expectVec(Vec4(0), 0, 0, 0, 0);
    expectVec(Vec4(1.5f, 2.0f), 1.5f, 2, 0, 0);

    Vec4 v(3, 4, 0, 7);
    EXPECT_FLOAT_EQ(v.length(), 5.0f);  // w takes no part
    EXPECT_FLOAT_EQ(v.len, 5.0f);
    Vec4 copy = v;
    EXPECT_EQ(copy.len, 0.0f);  // len is not carried by a copy

    Vec4 n(0, 0, 2, 1);
    n.normalize();
    expectVec(n, 0, 0, 1, 0.5f);

    Vec4 s(1, 2, 3, 4);
    s *= 2.0;
    expectVec(s, 2, 4, 6, 4);
    expectVec(Vec4(1, 2, 3, 4) + Vec4(1, 1, 1, 1), 2, 3, 4, 5);
    expectVec(Vec4(1, 2, 3, 4) - Vec4(1, 1, 1, 1), 0, 1, 2, 3);
    expectVec(Vec4(2, 4, 6, 8) / 2.0, 1, 2, 3, 4);

    Vec4 t(0, 0, 0, 9);
    t.setTriangleNormal(Vec4(0, 0, 0), Vec4(1, 0, 0), Vec4(0, 1, 0));
    expectVec(t, 0, 0, -1, 9);  // points away from a viewer who sees the corners counter-clockwise
}

TEST(Mat3, QuaternionRotations) {
    Mat3 m;
    for (const Vec4& q : {Vec4(0, 0, 0, 0), Vec4(0, 0, 0, 1), Vec4(0, 0, 0, 2)}) {
        setRotationFromQuat(m, q);
        expectMat3(m, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    }
    // 90 degrees about z, given unnormalised: x axis -> y axis.
    setRotationFromQuat(m, Vec4(0, 0, 3, 3));
    expectMat3(m, {0, 1, 0, -1, 0, 0, 0, 0, 1});
}

TEST(Mat3, MultiplyIsRowByColumnAndAllowsAliasing) {
    Mat3 rz, rx;
    setRotationFromQuat(rz, Vec4(0, 0, 1, 1));  // 90 about z
    setRotationFromQuat(rx, Vec4(1, 0, 0, 1));  // 90 about x

    Mat3 a = Mat3::identity();
    multiply(a, rz);
    expectMat3(a, {0, 1, 0, -1, 0, 0, 0, 0, 1});
    multiply(a, Mat3::identity());
    expectMat3(a, {0, 1, 0, -1, 0, 0, 0, 0, 1});

    // Rz * Rx applies Rx first: x -> x -> y, y -> z -> z, z -> -y -> x.
    multiply(a, rx);
    expectMat3(a, {0, 1, 0, 0, 0, 1, 1, 0, 0});

    Mat3 twice = rz;
    multiply(twice, twice);  // 180 about z
    expectMat3(twice, {-1, 0, 0, 0, -1, 0, 0, 0, 1});
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

TEST(Mat4, SetRotationXYZ) {
    Mat4 m;
    m.setRotationXYZ(90, 0, 0);
    EXPECT_NEAR(m[5], 0, 1e-6f);
    EXPECT_FLOAT_EQ(m[6], 1);
    EXPECT_FLOAT_EQ(m[9], -1);
    EXPECT_NEAR(m[10], 0, 1e-6f);
    EXPECT_FLOAT_EQ(m[0], 1);
    m.setRotationXYZ(0, 90, 0);
    EXPECT_FLOAT_EQ(m[8], 1);
    EXPECT_FLOAT_EQ(m[2], -1);
    m.setRotationXYZ(0, 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], Mat4::identity()[i]) << i;

    // The combined matrix is Rx * Ry * Rz of the single-axis ones.
    Mat4 x, y, z;
    x.setRotationXYZ(30, 0, 0);
    y.setRotationXYZ(0, 40, 0);
    z.setRotationXYZ(0, 0, 50);
    Mat3 product, ry, rz;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            product[3 * c + r] = x[4 * c + r];
            ry[3 * c + r] = y[4 * c + r];
            rz[3 * c + r] = z[4 * c + r];
        }
    }
    multiply(product, ry);
    multiply(product, rz);
    m.setRotationXYZ(30, 40, 50);
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(m[4 * c + r], product[3 * c + r], 1e-6f);
    }
    EXPECT_EQ(m[15], 1.0f);
}

}  // namespace
}  // namespace kubelmar
