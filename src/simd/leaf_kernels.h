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

    LeafRay(const Vec3& origin, const Vec3& direction) {
        o[0] = V::set1(origin.x), o[1] = V::set1(origin.y), o[2] = V::set1(origin.z);
        d[0] = V::set1(direction.x), d[1] = V::set1(direction.y), d[2] = V::set1(direction.z);
    }

    static V field(const float* block, int f) { return V::load(block + f * W); }

    // intersectSphere: near root beyond the root epsilon, else the far root; a miss unless disc > 0.
    V sphere(const float* b) const {
        const V ox = o[0] - field(b, 0), oy = o[1] - field(b, 1), oz = o[2] - field(b, 2);
        const V bb = (ox * d[0] + oy * d[1]) + oz * d[2];
        const V c = ((ox * ox + oy * oy) + oz * oz) - field(b, 3);
        const V disc = bb * bb - c;
        const V root = V::sqrt(disc);
        const V near = -bb - root;
        // near > 0.001 taken in double: the float just below 0.001 is the last that fails.
        const V t = V::select(V::gt(near, V::set1(0.00099999993f)), -bb + root, near);
        return V::select(V::le(disc, V::set1(0.0f)), t, V::set1(-1.0f));
    }

    // intersectPatch without a limit, with the hit's coordinates: the solve axes differ per lane, so
    // the hit point's offset from the corner is picked per lane from its three components.
    V patch(const float* b, V& u, V& v) const {
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
        v = (dj * ai - di * field(b, 9)) * field(b, 11);
        u = (di - v * field(b, 10)) / ai;
        const M triangle = V::eq(field(b, 12), one);
        const M outsideTriangle = V::gt(u + v, one);
        const M outsideParallelogram = V::mor(V::gt(u, one), V::gt(v, one));
        M outside = V::mor(V::lt(v, zero), V::lt(u, zero));
        outside = V::mor(outside, V::mor(V::mand(triangle, outsideTriangle), V::mandnot(triangle, outsideParallelogram)));
        missed = V::mor(missed, V::mandnot(notAhead, outside));
        return V::select(missed, t, V::set1(-1.0f));
    }

    // intersectDisc without a limit.
    V disc(const float* b) const {
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
        return V::select(missed, t, V::set1(-1.0f));
    }
};

// Per lane, the nearest accepted distance so far and its leaf position.
template <class V>
struct LaneBest {
    using M = typename V::M;
    V exclude;
    V t = V::set1(__builtin_inff());
    V position = V::set1(__builtin_inff());
    V u = V::set1(0.0f), v = V::set1(0.0f);  // a winning patch's coordinates
    M nan = V::none();

    // Takes the block's distances where they are accepted and nearer (the lower position on a tie);
    // returns those lanes.
    M accept(V distance, const float* block, int fields) {
        const V index = LeafRay<V>::field(block, fields - 2), at = LeafRay<V>::field(block, fields - 1);
        const M self = V::mand(V::eq(index, exclude), V::lt(distance, V::set1(0.0001f)));
        const M valid = V::mandnot(self, V::ge(distance, V::set1(0.0f)));
        const M better = V::mor(V::lt(distance, t), V::mand(V::eq(distance, t), V::lt(at, position)));
        const M take = V::mand(valid, better);
        t = V::select(take, t, distance);
        position = V::select(take, position, at);
        nan = V::mor(nan, V::mnot(V::eq(distance, distance)));
        return take;
    }
};

template <class V>
LeafNearest nearestLeafShapes(const LeafArrays& s, const Vec3& origin, const Vec3& direction, float excludeIndex) {
    constexpr int W = V::kLanes;
    const LeafRay<V> r(origin, direction);
    LaneBest<V> best;
    best.exclude = V::set1(excludeIndex);
    for (int i = 0; i < s.sphereBlocks; ++i) {
        const float* b = s.spheres + i * kLeafSphereFields * W;
        best.accept(r.sphere(b), b, kLeafSphereFields);
    }
    for (int i = 0; i < s.patchBlocks; ++i) {
        const float* b = s.patches + i * kLeafPatchFields * W;
        V u, v;
        const V t = r.patch(b, u, v);
        const auto take = best.accept(t, b, kLeafPatchFields);
        best.u = V::select(take, best.u, u);
        best.v = V::select(take, best.v, v);
    }
    for (int i = 0; i < s.discBlocks; ++i) {
        const float* b = s.discs + i * kLeafDiscFields * W;
        best.accept(r.disc(b), b, kLeafDiscFields);
    }

    LeafNearest out;
    if (V::bits(best.nan) != 0) {
        out.unordered = true;
        return out;
    }
    // The lowest position among the lanes at the smallest distance (lanes that accepted nothing keep
    // distance and position +inf).
    const V inf = V::set1(__builtin_inff());
    const V atMin = V::select(V::eq(best.t, V::minAll(best.t)), inf, best.position);
    const V minP = V::minAll(atMin);
    const unsigned lanes = V::bits(V::eq(atMin, minP));
    alignas(64) float p[W];
    minP.store(p);
    if (!(p[0] < static_cast<float>(1 << 24))) return out;
    const int k = __builtin_ctz(lanes);
    alignas(64) float t[W], u[W], v[W];
    best.t.store(t);
    best.u.store(u);
    best.v.store(v);
    out.distance = t[k];
    out.position = static_cast<int32_t>(p[0]);
    out.u = u[k];
    out.v = v[k];
    return out;
}

// The first blocker in leaf order: blocks of one kind come in leaf order and so do the lanes of a
// block, so a kind's first block with a blocker holds the kind's first, in its lowest lane.
template <class V>
LeafNearest firstLeafBlocker(const LeafArrays& s, const Vec3& origin, const Vec3& direction, float maxDistance,
                             float skipIndex, float excludeIndex) {
    using M = typename V::M;
    constexpr int W = V::kLanes;
    const LeafRay<V> r(origin, direction);
    const V reach = V::set1(maxDistance), skip = V::set1(skipIndex), exclude = V::set1(excludeIndex);
    const V zero = V::set1(0.0f), selfRange = V::set1(0.0001f);
    LeafNearest out;
    // A lane blocks unless its object is the skipped one, or the hit is its own surface's, beyond the
    // reach or at or behind the origin; a distance that is not a number blocks.
    const auto first = [&](V t, const float* b, int fields) {
        const V index = LeafRay<V>::field(b, fields - 2);
        M passes = V::mor(V::eq(index, skip), V::mand(V::eq(index, exclude), V::lt(t, selfRange)));
        passes = V::mor(passes, V::mor(V::gt(t, reach), V::le(t, zero)));
        const unsigned blocks = V::bits(V::mnot(passes)) & (W == 32 ? ~0u : (1u << W) - 1u);
        if (!blocks) return false;
        alignas(64) float tv[W], pv[W];
        t.store(tv);
        LeafRay<V>::field(b, fields - 1).store(pv);
        const int k = __builtin_ctz(blocks);
        // Padding lanes (position +inf, after the real ones) block only for a ray that is not finite.
        if (!(pv[k] < static_cast<float>(1 << 24))) return false;
        if (out.position < 0 || pv[k] < static_cast<float>(out.position)) {
            out.position = static_cast<int32_t>(pv[k]);
            out.distance = tv[k];
        }
        return true;
    };
    for (int i = 0; i < s.sphereBlocks; ++i) {
        const float* b = s.spheres + i * kLeafSphereFields * W;
        if (first(r.sphere(b), b, kLeafSphereFields)) break;
    }
    for (int i = 0; i < s.patchBlocks; ++i) {
        const float* b = s.patches + i * kLeafPatchFields * W;
        V u, v;
        if (first(r.patch(b, u, v), b, kLeafPatchFields)) break;
    }
    for (int i = 0; i < s.discBlocks; ++i) {
        const float* b = s.discs + i * kLeafDiscFields * W;
        if (first(r.disc(b), b, kLeafDiscFields)) break;
    }
    return out;
}

}  // namespace
}  // namespace lumo
