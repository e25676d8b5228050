// A ray as the BVH walks read it, and the test of a node's four child boxes: SSE, or the portable
// loop that computes the same numbers.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

#include "intersect/watertight.h"
#include "scene/bvh.h"

namespace lumo {

// A child slot of a node as the walks keep it: a node's index (count 0) or a leaf.
struct BvhRef {
    uint32_t child, count;
};

// A ray as the BVH walk reads it.
struct BvhRay {
    Vec3 origin;
    Vec3 direction;
    float inverse[3];  // 1 / direction, a zero component taken as a tiny one of the same sign
    int nearOffset[3], farOffset[3];  // where a node's near and far box planes on each axis start
    ShearedRay sheared;
};

inline BvhRay bvhRay(const Vec3& origin, const Vec3& direction) {
    BvhRay r;
    r.origin = origin;
    r.direction = direction;
    const float d[3] = {direction.x, direction.y, direction.z};
    for (int a = 0; a < 3; ++a) {
        const float da = d[a] == 0.0f ? (std::signbit(d[a]) ? -1e-30f : 1e-30f) : d[a];
        r.inverse[a] = 1.0f / da;
        const int lo = a * kBvhWidth, hi = (3 + a) * kBvhWidth;  // float offsets of lo[a], hi[a]
        r.nearOffset[a] = r.inverse[a] >= 0.0f ? lo : hi;
        r.farOffset[a] = r.inverse[a] >= 0.0f ? hi : lo;
    }
    r.sheared = shearRay(origin, direction);
    return r;
}

namespace detail {

inline float maxOf(float a, float b) { return a > b ? a : b; }  // as _mm_max_ps(a, b)
inline float minOf(float a, float b) { return a < b ? a : b; }  // as _mm_min_ps(a, b)

// Which children of `node` the ray meets within [0, limit] (bit k), and where it enters them.
inline unsigned childHitsScalar(const BvhNode& node, const BvhRay& r, float limit, float* enter) {
    const float* f = &node.lo[0][0];
    const float o[3] = {r.origin.x, r.origin.y, r.origin.z};
    unsigned hits = 0;
    for (int k = 0; k < kBvhWidth; ++k) {
        float tNear = 0.0f, tFar = limit;
        for (int a = 0; a < 3; ++a) {
            tNear = maxOf((f[r.nearOffset[a] + k] - o[a]) * r.inverse[a], tNear);
            tFar = minOf((f[r.farOffset[a] + k] - o[a]) * r.inverse[a], tFar);
        }
        enter[k] = tNear;
        if (tNear <= tFar * kBvhBoxReach) hits |= 1u << k;
    }
    return hits;
}

inline unsigned childHitsSse(const BvhNode& node, const BvhRay& r, float limit, float* enter) {
    const float* f = &node.lo[0][0];
    const float o[3] = {r.origin.x, r.origin.y, r.origin.z};
    __m128 tNear = _mm_setzero_ps(), tFar = _mm_set1_ps(limit);
    for (int a = 0; a < 3; ++a) {
        const __m128 oa = _mm_set1_ps(o[a]), inv = _mm_set1_ps(r.inverse[a]);
        tNear = _mm_max_ps(_mm_mul_ps(_mm_sub_ps(_mm_load_ps(f + r.nearOffset[a]), oa), inv), tNear);
        tFar = _mm_min_ps(_mm_mul_ps(_mm_sub_ps(_mm_load_ps(f + r.farOffset[a]), oa), inv), tFar);
    }
    _mm_storeu_ps(enter, tNear);
    return static_cast<unsigned>(_mm_movemask_ps(_mm_cmple_ps(tNear, _mm_mul_ps(tFar, _mm_set1_ps(kBvhBoxReach)))));
}

}  // namespace detail

}  // namespace lumo
