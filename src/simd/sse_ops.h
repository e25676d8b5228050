// Scalar single-precision SSE helpers: one float in the low lane of an XMM register. The SSE twins
// are written with these so each step maps onto one load, add, multiply, divide, square root or
// ordered compare, in the same order as the portable formulas (results agree bit for bit).
#pragma once

#if defined(__SSE__)

#include <xmmintrin.h>

#include "core/vec3.h"

namespace lumo::sse {

using Scalar = __m128;

// The constant block of the tuned routines: one, the self-hit epsilon, zero, the miss distance.
alignas(16) inline constexpr float kConstants[4] = {1.0f, 0.0001f, 0.0f, -1.0f};
inline const float& kOne = kConstants[0];
inline const float& kRootEpsilon = kConstants[1];
inline const float& kZero = kConstants[2];
inline const float& kMiss = kConstants[3];

inline Scalar load(const float& f) { return _mm_load_ss(&f); }
inline void store(float& f, Scalar a) { _mm_store_ss(&f, a); }
inline Scalar add(Scalar a, Scalar b) { return _mm_add_ss(a, b); }
inline Scalar sub(Scalar a, Scalar b) { return _mm_sub_ss(a, b); }
inline Scalar mul(Scalar a, Scalar b) { return _mm_mul_ss(a, b); }
inline Scalar div(Scalar a, Scalar b) { return _mm_div_ss(a, b); }
inline Scalar sqrt(Scalar a) { return _mm_sqrt_ss(a); }
// Sign flip, exact like the portable unary minus.
inline Scalar negate(Scalar a) { return _mm_xor_ps(a, _mm_set_ss(-0.0f)); }

// Ordered compares: false when either side is NaN. COMISS sets the flags of "below" and "equal" for
// unordered operands, so only the above / above-or-equal forms are used, with swapped operands.
inline bool less(Scalar a, Scalar b) { return _mm_comigt_ss(b, a); }
inline bool greaterEqual(Scalar a, Scalar b) { return _mm_comige_ss(a, b); }
inline bool equal(Scalar a, Scalar b) { return _mm_comige_ss(a, b) && _mm_comige_ss(b, a); }

inline Scalar dot3(const Vec3& a, const Vec3& b) {
    return add(add(mul(load(a.x), load(b.x)), mul(load(a.y), load(b.y))), mul(load(a.z), load(b.z)));
}

}  // namespace lumo::sse

#endif
