#pragma once

#include "math/matrix.h"
#include "math/vec4.h"

namespace kubelmar {

// Mouse-driven rotation: press and drag points (widget pixels, origin top
// left, y down) are projected onto a sphere filling the view, and the
// rotation carrying one onto the other is composed with the one at the press.
class ArcBall {
public:
    ArcBall() = default;
    ArcBall(float width, float height);

    void setBounds(float width, float height);
    void click(const Vec4& point);
    void drag(const Vec4& point);
    void mapToSphere(const Vec4& point, Vec4& out) const;
    void updateRotation(const Vec4& point);
    // Sets transform and thisRot to a fixed orientation (axis views).
    void setOrientation(const Mat4& rotation);

    bool isDragging = false;
    Mat4 transform = Mat4::identity();
    Mat3 lastRot = Mat3::identity();
    Mat3 thisRot = Mat3::identity();
    Vec4 stVec;
    Vec4 enVec;
    float adjustWidth = 0.0f;
    float adjustHeight = 0.0f;
};

}  // namespace kubelmar
