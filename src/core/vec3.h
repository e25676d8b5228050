// Three float32 components used for points, directions, normals and linear RGB colours.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace lumo {

struct Vec3 {
    float x, y, z;  // left unset by default construction
};

inline constexpr Vec3 vec3(float x, float y, float z) { return Vec3{x, y, z}; }

inline Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 scale(float s, const Vec3& v) { return {s * v.x, s * v.y, s * v.z}; }
inline Vec3 scaleByDouble(double s, const Vec3& v) {
    return {static_cast<float>(s * v.x), static_cast<float>(s * v.y), static_cast<float>(s * v.z)};
}
inline Vec3 mulComponents(const Vec3& a, const Vec3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3 divScalar(const Vec3& v, float s) { return {v.x / s, v.y / s, v.z / s}; }
inline Vec3 negate(const Vec3& v) { return {-v.x, -v.y, -v.z}; }
// Scalar results are carried and returned in double precision.
inline double dot(const Vec3& a, const Vec3& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline void addInPlace(Vec3& v, const Vec3& w) { v.x += w.x; v.y += w.y; v.z += w.z; }
inline void divInPlace(Vec3& v, float s) { v.x /= s; v.y /= s; v.z /= s; }

inline double length(float x, float y, float z) {
    const double dx = x, dy = y, dz = z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}
inline double length(const Vec3& v) { return length(v.x, v.y, v.z); }

// No guard for the zero vector: callers never pass one.
inline Vec3 normalize(const Vec3& v) {
    const float l = static_cast<float>(length(v.x, v.y, v.z));
    return {v.x / l, v.y / l, v.z / l};
}

inline double pointDistance(const Vec3& a, const Vec3& b) { return length(a.x - b.x, a.y - b.y, a.z - b.z); }
inline float square(float x) { return x * x; }

// The weight t belongs to the first value.
inline float lerp(float t, float a, float b) { return t * a + (1.0f - t) * b; }
inline float bilerp(float s, float t, float p, float q, float r, float w) {
    return lerp(t, lerp(s, p, r), lerp(s, q, w));
}

// |x - trunc(x)|, so frac(-1.25) = 0.25.
inline float frac(float x) { return std::fabs(x - std::trunc(x)); }

// A unit vector at right angles to v; switches frame when v is close to the z axis.
Vec3 perpendicular(const Vec3& v);

// Angle of (x, y) in [0, 2*pi) with a dead zone of |x| <= 0.0001 that gives exactly pi/2 or 3pi/2.
// A tiny negative angle plus 2*pi rounds to the float 2*pi itself, which is the same direction as 0.
float polarAngle(float x, float y);

// acos that returns 0 for arguments >= 1, so rounding noise cannot produce a NaN.
inline double safeAcos(double x) { return x >= 1.0 ? 0.0 : std::acos(x); }

// Sorts n doubles ascending in place (compare-and-swap network for n <= 3, exchange sort above).
void sortAscending(int n, double* a);

// float32 constants the geometry code compares against.
inline constexpr float kPi = 3.14159265358979323846f;
inline constexpr float kTwoPi = 6.28318530717958647692f;
inline constexpr float kHalfPi = std::bit_cast<float>(0x3FC90FDAu);  // 1.5707962: one ulp below the float nearest pi/2
inline constexpr float kThreeHalfPi = 4.71238898038468985769f;

}  // namespace lumo
