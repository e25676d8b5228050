// Small single-precision helpers shared by the intersection routines.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/vec3.h"
#include "intersect/hit_record.h"

namespace lumo::isect {

inline constexpr float kMiss = -1.0f;
// Curved shapes prefer a root beyond this, so a ray leaving a surface does not hit it again at 0.
inline constexpr double kRootEpsilon = 0.001;

inline float dotf(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float lengthSquared(const Vec3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }
// origin + t * direction
inline Vec3 pointAlong(const Vec3& origin, float t, const Vec3& direction) {
    return {origin.x + t * direction.x, origin.y + t * direction.y, origin.z + t * direction.z};
}
// Component 0 (x), 1 (y) or 2 (z).
inline float axisComponent(const Vec3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

// Latitude asin(z) of a point on a unit sphere. Rounding can push |z| a hair past 1; clamping keeps
// the pole a number instead of NaN.
inline float latitudeOf(float z) {
    const double c = z > 1.0f ? 1.0 : (z < -1.0f ? -1.0 : static_cast<double>(z));
    return static_cast<float>(std::asin(c));
}

// The nearer root rule of the two-root tests: both valid -> the smaller if it is beyond the root
// epsilon, otherwise the larger; one valid -> that one whatever its sign. Returns false if none.
inline bool chooseNearerRoot(float t1, bool valid1, float t2, bool valid2, int& chosen) {
    if (valid1 && valid2) {
        const bool firstSmaller = t1 <= t2;
        const float smaller = firstSmaller ? t1 : t2;
        const int smallerIndex = firstSmaller ? 0 : 1;
        chosen = smaller > kRootEpsilon ? smallerIndex : 1 - smallerIndex;
        return true;
    }
    if (valid1) { chosen = 0; return true; }
    if (valid2) { chosen = 1; return true; }
    return false;
}

}  // namespace lumo::isect
