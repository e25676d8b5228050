// The aiming frame and grid of directions of the caustic pass.
#pragma once

#include <vector>

#include "core/vec3.h"

namespace lumo {

// Where caustic photons are aimed: every scene that offers caustics puts its glass object here.
inline constexpr Vec3 kCausticTarget{0.0f, 0.0f, 1.3f};

// Grid frame of the caustic pass, recomputed at the start of every caustic pass.
struct CausticFrame {
    Vec3 axis;   // unit direction from the light to the target
    Vec3 sideU;  // unit vectors spanning the plane perpendicular to axis
    Vec3 sideV;
    float step;  // grid spacing of the offsets
};

CausticFrame makeCausticFrame(const Vec3& lightPosition, int causticPhotonCount);

// The grid of offsets (a outer, b inner) spans [-0.15, 0.15]^2, each offset growing by step in single
// precision from -0.15, so the sums (and the photons) are those of one loop over the square.
inline constexpr float kCausticGridLow = -0.15f;
inline constexpr float kCausticGridHigh = 0.15f;

// The outer offsets a, in loop order, into `rows` (whose capacity is kept).
void causticGridRows(float step, std::vector<float>& rows);

// Calls fn(b) for every inner offset of a row.
template <typename Fn>
void forEachCausticColumn(float step, Fn&& fn) {
    for (float b = kCausticGridLow; b <= kCausticGridHigh; b += step) fn(b);
}

}  // namespace lumo
