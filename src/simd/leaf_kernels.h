// The leaf kernel (see leaf_shapes.h), written once over a lane type and built per level by the units
// that include this. One ray, a shape per lane: every shape's distance is computed with the
// operations of its scalar routine in the same order, transposed (the ray broadcast, the shape's
// data per lane). Internal linkage, for the reason given in lanes_x86.h.
#pragma once

#include "simd/lanes_x86.h"
#include "simd/leaf_shapes.h"

namespace lumo {
namespace {

template <class V>
struct LeafRay {
    using M = typename V::M;
    static constexpr int W = V::kLanes;

    V o[3];  // origin, broadcast
    V d[3];  // unit direction, broadcast
    V exclude;
    V bestT = V::set1(__builtin_inff());
    V bestP = V::set1(__builtin_inff());
    V bestU = V::set1(0.0f), bestV = V::set1(0.0f);  // a winning patch's coordinates
    M nan = V::none();

    static V field(const float* block, int f) { return V::load(block + f * W); }

    // Keeps per lane the nearest accepted distance, the lower leaf position on a tie; the lanes that
    // took this one.
    M accept(V t, V index, V position) {
        const V zero = V::set1(0.0f);
        const M self = V::mand(V::eq(index, exclude), V::lt(t, V::set1(0.0001f)));
        const M valid = V::mandnot(self, V::ge(t, zero));
        const M better = V::mor(V::lt(t, bestT), V::mand(V::eq(t, bestT), V::lt(position, bestP)));
        const M take = V::mand(valid, better);
        bestT = V::select(take, bestT, t);
        bestP = V::select(take, bestP, position);
        nan = V::mor(nan, V::mnot(V::eq(t, t)));
        return take;
    }

    // intersectSphere: near root beyond the root epsilon, else the far root; a miss unless disc > 0.
    void spheres(const float* b) {
        const V ox = o[0] - field(b, 0), oy = o[1] - field(b, 1), oz = o[2] - field(b, 2);
        const V bb = (ox * d[0] + oy * d[1]) + oz * d[2];
        const V c = ((ox * ox + oy * oy) + oz * oz) - field(b, 3);
        const V disc = bb * bb - c;
        const V root = V::sqrt(disc);
        const V near = -bb - root;
        // near > 0.001 taken in double: the float just below 0.001 is the last that fails.
        const V t = V::select(V::gt(near, V::set1(0.00099999993f)), -bb + root, near);
        accept(V::select(V::le(disc, V::set1(0.0f)), t, V::set1(-1.0f)), field(b, 4), field(b, 5));
    }

    // intersectPatch without a limit: the solve axes differ per lane, so the hit point's offset from
    // the corner is picked per lane from its three components.
    void patches(const float* b) {
        const V zero = V::set1(0.0f), one = V::set1(1.0f);
        const V n[3] = {field(b, 0), field(b, 1), field(b, 2)};
        const V p[3] = {field(b, 3), field(b, 4), field(b, 5)};
        const V a = (d[0] * n[0] + d[1] * n[1]) + d[2] * n[2];
        const V term = ((p[0] - o[0]) * n[0] + (p[1] - o[1]) * n[1]) + (p[2] - o[2]) * n[2];
        M missed = V::mor(V::eq(a, zero), V::mand(V::eq(field(b, 13), one), V::ge(a, zero)));
        const V t = term / a;
        const M notAhead = V::mnot(V::gt(t, zero));  // the distance stays as it is
        V q[3];
        for (int k = 0; k < 3; ++k) q[k] = (o[k] + t * d[k]) - p[k];
        const V axisI = field(b, 6), axisJ = field(b, 7);
        const V di = V::select(V::eq(axisI, zero), V::select(V::eq(axisI, one), q[2], q[1]), q[0]);
        const V dj = V::select(V::eq(axisJ, zero), V::select(V::eq(axisJ, one), q[2], q[1]), q[0]);
        const V ai = field(b, 8);
        const V v = (dj * ai - di * field(b, 9)) * field(b, 11);
        const V u = (di - v * field(b, 10)) / ai;
        const M triangle = V::eq(field(b, 12), one);
        const M outsideTriangle = V::gt(u + v, one);
        const M outsideParallelogram = V::mor(V::gt(u, one), V::gt(v, one));
        M outside = V::mor(V::lt(v, zero), V::lt(u, zero));
        outside = V::mor(outside, V::mor(V::mand(triangle, outsideTriangle), V::mandnot(triangle, outsideParallelogram)));
        missed = V::mor(missed, V::mandnot(notAhead, outside));
        const M take = accept(V::select(missed, t, V::set1(-1.0f)), field(b, 14), field(b, 15));
        bestU = V::select(take, bestU, u);
        bestV = V::select(take, bestV, v);
    }

    // intersectDisc without a limit.
    void discs(const float* b) {
        const V zero = V::set1(0.0f);
        const V n[3] = {field(b, 0), field(b, 1), field(b, 2)};
        const V c[3] = {field(b, 3), field(b, 4), field(b, 5)};
        const V a = (d[0] * n[0] + d[1] * n[1]) + d[2] * n[2];
        const V term = ((c[0] - o[0]) * n[0] + (c[1] - o[1]) * n[1]) + (c[2] - o[2]) * n[2];
        const V t = term / a;
        const V qx = (o[0] + t * d[0]) - c[0], qy = (o[1] + t * d[1]) - c[1], qz = (o[2] + t * d[2]) - c[2];
        const V r2 = (qx * qx + qy * qy) + qz * qz;
        const M missed = V::mor(V::mor(V::eq(a, zero), V::le(t, zero)),
                                V::mor(V::gt(r2, field(b, 6)), V::lt(r2, field(b, 7))));
        accept(V::select(missed, t, V::set1(-1.0f)), field(b, 8), field(b, 9));
    }
};

template <class V>
LeafNearest nearestLeafShapes(const LeafArrays& s, const Vec3& origin, const Vec3& direction, float excludeIndex) {
    constexpr int W = V::kLanes;
    LeafRay<V> r;
    r.o[0] = V::set1(origin.x), r.o[1] = V::set1(origin.y), r.o[2] = V::set1(origin.z);
    r.d[0] = V::set1(direction.x), r.d[1] = V::set1(direction.y), r.d[2] = V::set1(direction.z);
    r.exclude = V::set1(excludeIndex);
    for (int i = 0; i < s.sphereBlocks; ++i) r.spheres(s.spheres + i * kLeafSphereFields * W);
    for (int i = 0; i < s.patchBlocks; ++i) r.patches(s.patches + i * kLeafPatchFields * W);
    for (int i = 0; i < s.discBlocks; ++i) r.discs(s.discs + i * kLeafDiscFields * W);

    LeafNearest out;
    if (V::bits(r.nan) != 0) {
        out.unordered = true;
        return out;
    }
    // The lowest position among the lanes at the smallest distance (lanes that accepted nothing keep
    // distance and position +inf).
    const V inf = V::set1(__builtin_inff());
    const V atMin = V::select(V::eq(r.bestT, V::minAll(r.bestT)), inf, r.bestP);
    const V minP = V::minAll(atMin);
    const unsigned lanes = V::bits(V::eq(atMin, minP));
    alignas(64) float p[W];
    minP.store(p);
    if (!(p[0] < static_cast<float>(1 << 24))) return out;
    const int k = __builtin_ctz(lanes);
    alignas(64) float t[W], u[W], v[W];
    r.bestT.store(t);
    r.bestU.store(u);
    r.bestV.store(v);
    out.distance = t[k];
    out.position = static_cast<int32_t>(p[0]);
    out.u = u[k];
    out.v = v[k];
    return out;
}

}  // namespace
}  // namespace lumo
