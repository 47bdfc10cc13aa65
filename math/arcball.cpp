#include "math/arcball.h"

#include <cmath>

namespace kubelmar {

namespace {
// Below this |stVec x enVec| the two sphere points count as the same point.
constexpr float kEpsilon = 0.00001f;
}  // namespace

ArcBall::ArcBall(float width, float height) : stVec(0), enVec(0) { setBounds(width, height); }

void ArcBall::setBounds(float width, float height) {
    // Pixel 0 maps to -1 and pixel (size - 1) to +1.
    adjustWidth = 1.0f / ((width - 1.0f) * 0.5f);
    adjustHeight = 1.0f / ((height - 1.0f) * 0.5f);
}

void ArcBall::click(const Vec4& point) {
    lastRot = thisRot;
    isDragging = true;
    mapToSphere(point, stVec);
}

void ArcBall::drag(const Vec4& point) {
    if (isDragging) updateRotation(point);
}

void ArcBall::mapToSphere(const Vec4& point, Vec4& out) const {
    // Widget pixels (y down) to -1..+1 with y up.
    const float px = point.x * adjustWidth - 1.0f;
    const float py = 1.0f - point.y * adjustHeight;
    const float l = px * px + py * py;
    if (l > 1.0f) {
        // Outside the sphere's silhouette: pull the point onto its rim.
        const float k = 1.0f / std::sqrt(l);
        out.x = px * k;
        out.y = py * k;
        out.z = 0.0f;
    } else {
        out.x = px;
        out.y = py;
        out.z = std::sqrt(1.0f - l);
    }
}

void ArcBall::updateRotation(const Vec4& point) {
    mapToSphere(point, enVec);
    Vec4 perp(0);
    perp.cross(stVec, enVec);
    // For unit sphere points |perp| = sin(t) and the dot product cos(t): a
    // unit quaternion turning by 2t about perp.
    Vec4 q(0);
    if (perp.length() > kEpsilon) q = Vec4(perp.x, perp.y, perp.z, stVec.dot(enVec));
    setRotationFromQuat(thisRot, q);
    multiply(thisRot, lastRot);
    setRotationKeepScale(transform, thisRot);
}

void ArcBall::setOrientation(const Mat4& rotation) {
    transform = rotation;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) thisRot[3 * c + r] = rotation[4 * c + r];
    }
}

}  // namespace kubelmar
