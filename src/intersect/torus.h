// Torus (6) around the local z axis, optionally cut by an azimuth sweep and a tube-angle range.
#pragma once

#include "intersect/hit_record.h"

namespace lumo {

// Wrap-aware test of an angle in [0, 2pi) against a range whose start may be negative.
inline bool angleInRange(float theta, float lo, float hi) {
    if (lo >= 0.0f) return lo <= theta && theta <= hi;
    const float wrapped = theta - kTwoPi;
    if (hi < 0.0f) return lo <= wrapped && wrapped <= hi;
    return lo <= wrapped || theta <= hi;
}

// Writes distance, normal (unit, local frame, from the tube centre), u = angle around the tube and
// v = angle around the z axis. Solves the quartic in double precision; no eye cache. With
// `distanceOnly` the angles and the normal are left out where no limit needs them (a full torus).
void intersectTorus(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out,
                    bool distanceOnly = false);

}  // namespace lumo
