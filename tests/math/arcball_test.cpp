#include <gtest/gtest.h>

#include <vector>

#include "math/arcball.h"

namespace kubelmar {
namespace {

void expectTransform(const ArcBall& ball, const Mat4& expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ball.transform[i], expected[i], 1e-5f) << "element " << i;
}

TEST(ArcBall, MapsPixelsOntoTheSphere) {
    const ArcBall ball(201, 201);
    EXPECT_FLOAT_EQ(ball.adjustWidth, 0.01f);
    const auto mapped = [&ball](float x, float y) {
        Vec4 out(0, 0, 0, 7);
        ball.mapToSphere(Vec4(x, y), out);
        EXPECT_EQ(out.w, 7);  // not written
        return std::vector<float>{out.x, out.y, out.z};
    };
    const auto expectNear = [](const std::vector<float>& v, float x, float y, float z) {
        EXPECT_NEAR(v[0], x, 1e-6f);
        EXPECT_NEAR(v[1], y, 1e-6f);
        EXPECT_NEAR(v[2], z, 1e-3f);
    };
    expectNear(mapped(100, 100), 0, 0, 1);
    expectNear(mapped(200, 100), 1, 0, 0);
    expectNear(mapped(200, 0), 0.70710678f, 0.70710678f, 0);  // outside: pulled onto the rim, y up
}

TEST(ArcBall, DragComposesWithTheRotationAtThePress) {
    ArcBall ball(201, 201);
    ball.drag(Vec4(200, 100));  // no press: nothing happens
    expectTransform(ball, Mat4::identity());

    // Centre to the right edge: the sphere points are 90 degrees apart, so
    // the model turns 180 degrees about y.
    ball.click(Vec4(100, 100));
    ball.drag(Vec4(200, 100));
    Mat4 half;
    half.setRotationXYZ(0, 180, 0);
    expectTransform(ball, half);

    // A second drag starts from there; back to the press pixel undoes only it.
    ball.isDragging = false;
    ball.setBounds(401, 401);  // resizing keeps the orientation
    expectTransform(ball, half);
    ball.click(Vec4(50, 200));
    ball.drag(Vec4(50, 200));
    expectTransform(ball, half);
}

TEST(ArcBall, DragContinuesFromAFixedOrientation) {
    ArcBall ball(201, 201);
    Mat4 side;
    side.setRotationXYZ(0, 90, 0);
    side[12] = 3;  // translation must travel with the orientation
    ball.setOrientation(side);
    EXPECT_EQ(ball.thisRot[6], side[8]);
    EXPECT_EQ(ball.thisRot[2], side[2]);

    ball.click(Vec4(30, 40));
    ball.drag(Vec4(30, 40));
    expectTransform(ball, side);
}

}  // namespace
}  // namespace kubelmar
