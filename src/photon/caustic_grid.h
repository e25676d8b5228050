// The aiming frame and grid of directions of the caustic pass.
#pragma once

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

// One worker's share of the square grid of offsets (a outer, b inner), in [-0.15, 0.15]^2.
struct CausticGridRange {
    float aFrom, aTo;
    bool aToInclusive;
    float bFrom, bTo;
    bool bToInclusive;
};
CausticGridRange causticGridRange(int threadCount, int k);

// Calls fn(a, b) for every offset of the range, growing each by step in single precision.
template <typename Fn>
void forEachCausticOffset(const CausticGridRange& r, float step, Fn&& fn) {
    for (float a = r.aFrom; r.aToInclusive ? a <= r.aTo : a < r.aTo; a += step)
        for (float b = r.bFrom; r.bToInclusive ? b <= r.bTo : b < r.bTo; b += step) fn(a, b);
}

}  // namespace lumo
