// Turning a fresh intersection into a shadeable hit: world position, normal, texture coordinates.
#pragma once

#include <cmath>

#include "intersect/hit_record.h"

namespace lumo {

// Fractional part that wraps negative values into (0, 1]: 2.25 -> 0.25, -0.25 -> 0.75, -1 -> 1.
inline float wrapUnit(float x) {
    const float f = std::fabs(x - std::trunc(x));
    return x >= 0.0f ? f : 1.0f - f;
}

// Completes hit.position (world) and hit.normal (world, unit) for the hit object's shape.
void completeHit(const Vec3& origin, const Vec3& direction, HitRecord& hit);
// The world position completeHit leaves in hit.position, without the normal.
Vec3 hitPoint(const Vec3& origin, const Vec3& direction, const HitRecord& hit);

// Normalises hit.u / hit.v per shape and writes hit.texS / hit.texT, through the shape's
// texture-corner table when it has one.
void computeTextureCoords(HitRecord& hit);

}  // namespace lumo
