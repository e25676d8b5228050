// The walk of a scene's BVH by one ray: the four child boxes of a node in one test (SSE, or the
// scalar loop that computes the same numbers), the children the ray meets visited nearest first,
// mesh triangles by the watertight test (a leaf's triangles at once in SSE, or one by one), other
// objects by their own routines. Three visitors as for the flat tree: a camera ray's nearest hit
// (objects hidden from the camera left out), any other ray's nearest hit, and occlusion.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#include "intersect/bvh_ray.h"
#include "intersect/intersect.h"
#include "scene/scene.h"

namespace lumo {

// Visitor: limit() the farthest distance still of interest; leaf<kSimd>(first, count) tests a leaf's
// triangles or (count & kBvhObjectLeaf) objects and returns true to end the walk. The walk starts at
// `start`: the root, or any child slot's node or leaf (the packet walks hand single lanes over there).
// The nearest child met is walked next without a trip through the stack; the others are pushed
// farthest first (ties in slot order), and an entry farther than the limit is dropped when its turn
// comes, so children are visited in the order of a stack of every child met.
template <bool kSimd, class Visitor>
void walkBvh(const BvhNode* nodes, const BvhRay& r, BvhRef start, Visitor& v) {
    BvhRef stack[kMaxBvhDepth * (kBvhWidth - 1) + 1];
    float stackEnter[kMaxBvhDepth * (kBvhWidth - 1) + 1];
    int top = 0;
    BvhRef at = start;
    for (;;) {
        if (at.count) {
            if (v.template leaf<kSimd>(at.child, at.count)) return;
        } else {
            const BvhNode& node = nodes[at.child];
            alignas(16) float enter[kBvhWidth];
            const float limit = v.limit();
            unsigned hits = kSimd ? detail::childHitsSse(node, r, limit, enter)
                                  : detail::childHitsScalar(node, r, limit, enter);
            if (hits) {
                int k = __builtin_ctz(hits);
                hits &= hits - 1;
                if (!hits) {  // one child met: no ordering
                    if (enter[k] <= limit) {
                        at = {node.child[k], node.count[k]};
                        continue;
                    }
                } else {
                    // Sorted farthest first; the last one, the nearest, is walked next.
                    BvhRef met[kBvhWidth];
                    float metEnter[kBvhWidth];
                    met[0] = {node.child[k], node.count[k]}, metEnter[0] = enter[k];
                    int n = 1;
                    for (; hits; hits &= hits - 1) {
                        k = __builtin_ctz(hits);
                        const float e = enter[k];
                        int j = n++;
                        while (j > 0 && metEnter[j - 1] < e) met[j] = met[j - 1], metEnter[j] = metEnter[j - 1], --j;
                        met[j] = {node.child[k], node.count[k]}, metEnter[j] = e;
                    }
                    for (int j = 0; j < n - 1; ++j) stack[top] = met[j], stackEnter[top++] = metEnter[j];
                    if (metEnter[n - 1] <= limit) {
                        at = met[n - 1];
                        continue;
                    }
                }
            }
        }
        for (;;) {
            if (top == 0) return;
            --top;
            if (stackEnter[top] <= v.limit()) break;
        }
        at = stack[top];
    }
}

template <bool kSimd, class Visitor>
void walkBvh(const Bvh& bvh, const BvhRay& r, Visitor& v) {
    walkBvh<kSimd>(bvh.nodes.data(), r, BvhRef{0, 0}, v);
}

namespace detail {

inline void triangleCorners(const MeshStore& m, uint32_t t, Vec3& a, Vec3& b, Vec3& c) {
    const uint32_t* i = m.triangle(t);
    a = m.positions[i[0]], b = m.positions[i[1]], c = m.positions[i[2]];
}

// The watertight test of a leaf's triangles first .. first + count - 1 (at most four) at once, lane i
// for triangle first + i, with the operations of intersectWatertight in the same order; lanes with
// an edge function of exactly zero by intersectWatertight itself. Fills distance (-1: a miss), u and
// v; returns the lanes hit.
inline unsigned leafHitsSse(const MeshStore& m, const ShearedRay& r, uint32_t first, uint32_t count,
                            float* distance, float* u, float* v) {
    alignas(16) float p[3][3][kBvhWidth];  // corner, axis, triangle
    for (uint32_t i = 0; i < kBvhWidth; ++i) {
        const uint32_t* c = m.triangle(first + (i < count ? i : count - 1));
        for (int k = 0; k < 3; ++k) {
            const Vec3& q = m.positions[c[k]];
            p[k][0][i] = q.x, p[k][1][i] = q.y, p[k][2][i] = q.z;
        }
    }
    const float o[3] = {r.origin.x, r.origin.y, r.origin.z};
    const __m128 ox = _mm_set1_ps(o[r.kx]), oy = _mm_set1_ps(o[r.ky]), oz = _mm_set1_ps(o[r.kz]);
    const __m128 sx = _mm_set1_ps(r.sx), sy = _mm_set1_ps(r.sy), sz = _mm_set1_ps(r.sz);
    __m128 x[3], y[3], z[3];
    for (int k = 0; k < 3; ++k) {
        z[k] = _mm_sub_ps(_mm_load_ps(p[k][r.kz]), oz);
        x[k] = _mm_sub_ps(_mm_sub_ps(_mm_load_ps(p[k][r.kx]), ox), _mm_mul_ps(sx, z[k]));
        y[k] = _mm_sub_ps(_mm_sub_ps(_mm_load_ps(p[k][r.ky]), oy), _mm_mul_ps(sy, z[k]));
    }
    const __m128 eu = _mm_sub_ps(_mm_mul_ps(x[2], y[1]), _mm_mul_ps(y[2], x[1]));
    const __m128 ev = _mm_sub_ps(_mm_mul_ps(x[0], y[2]), _mm_mul_ps(y[0], x[2]));
    const __m128 ew = _mm_sub_ps(_mm_mul_ps(x[1], y[0]), _mm_mul_ps(y[1], x[0]));
    const __m128 zero = _mm_setzero_ps();
    const __m128 negative = _mm_or_ps(_mm_or_ps(_mm_cmplt_ps(eu, zero), _mm_cmplt_ps(ev, zero)), _mm_cmplt_ps(ew, zero));
    const __m128 positive = _mm_or_ps(_mm_or_ps(_mm_cmpgt_ps(eu, zero), _mm_cmpgt_ps(ev, zero)), _mm_cmpgt_ps(ew, zero));
    const __m128 det = _mm_add_ps(_mm_add_ps(eu, ev), ew);
    const __m128 t = _mm_div_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(eu, _mm_mul_ps(sz, z[0])), _mm_mul_ps(ev, _mm_mul_ps(sz, z[1]))),
                                           _mm_mul_ps(ew, _mm_mul_ps(sz, z[2]))),
                                det);
    // A hit: the edge functions not of both signs, det not zero, t >= 0 (not a number fails).
    const __m128 hit = _mm_andnot_ps(_mm_or_ps(_mm_and_ps(negative, positive), _mm_cmpeq_ps(det, zero)), _mm_cmpge_ps(t, zero));
    _mm_store_ps(distance, t);
    _mm_store_ps(u, _mm_div_ps(ev, det));
    _mm_store_ps(v, _mm_div_ps(ew, det));
    unsigned hits = static_cast<unsigned>(_mm_movemask_ps(hit));
    unsigned onEdge = static_cast<unsigned>(
        _mm_movemask_ps(_mm_or_ps(_mm_or_ps(_mm_cmpeq_ps(eu, zero), _mm_cmpeq_ps(ev, zero)), _mm_cmpeq_ps(ew, zero))));
    const unsigned used = (1u << count) - 1u;
    for (onEdge &= used; onEdge; onEdge &= onEdge - 1) {
        const int i = __builtin_ctz(onEdge);
        Vec3 a, b, c;
        triangleCorners(m, first + i, a, b, c);
        const TriangleHit h = intersectWatertight(r, a, b, c);
        distance[i] = h.distance, u[i] = h.u, v[i] = h.v;
        hits = h.distance >= 0.0f ? hits | (1u << i) : hits & ~(1u << i);
    }
    return hits & used;
}

// The scalar loop computing what leafHitsSse computes.
inline unsigned leafHitsScalar(const MeshStore& m, const ShearedRay& r, uint32_t first, uint32_t count,
                               float* distance, float* u, float* v) {
    unsigned hits = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Vec3 a, b, c;
        triangleCorners(m, first + i, a, b, c);
        const TriangleHit h = intersectWatertight(r, a, b, c);
        distance[i] = h.distance, u[i] = h.u, v[i] = h.v;
        if (h.distance >= 0.0f) hits |= 1u << i;
    }
    return hits;
}

template <bool kSimd>
unsigned leafHits(const MeshStore& m, const ShearedRay& r, uint32_t first, uint32_t count, float* distance, float* u,
                  float* v) {
    return kSimd ? leafHitsSse(m, r, first, count, distance, u, v) : leafHitsScalar(m, r, first, count, distance, u, v);
}

}  // namespace detail

// Whether a mesh triangle t at the distance of the best hit so far takes its place: where the best is
// a mesh triangle with a higher number. Rays through a shared edge then find the same triangle in any
// order of the walk.
inline bool winsTie(uint32_t t, const HitRecord& best) {
    return best.object && best.object->type == kMeshFaces && t < best.triangle;
}

// Nearest hit: objects by intersectNearer (kCamera: those hidden from the camera left out), mesh
// triangles by the watertight test. Hits on `excludeObject` (for a mesh: its part) closer than
// 0.0001 are self-hits and ignored.
template <bool kCamera>
struct BvhNearestVisitor {
    const Scene& scene;
    const BvhRay& r;
    HitRecord& nearest;
    const SceneObject* excludeObject;

    float limit() const { return nearest.distance >= 0.0f ? nearest.distance : std::numeric_limits<float>::infinity(); }
    template <bool kSimd>
    bool leaf(uint32_t first, uint32_t count) {
        if (count & kBvhObjectLeaf) {
            const uint32_t* objects = scene.bvh.objects.data();
            for (uint32_t i = first; i != first + (count & ~kBvhObjectLeaf); ++i) {
                SceneObject* object = scene.objectTable[objects[i]];
                if (kCamera && (object->flags & kHiddenFromCamera)) continue;
                HitRecord scratch{};  // clean: a shape's test leaves some fields as they were
                intersectNearer(*object, r.origin, r.direction, nearest.distance, scratch);
                const float t = scratch.distance;
                if (object == excludeObject && t < 0.0001f) continue;
                if (t < 0.0f) continue;
                if (nearest.distance < 0.0f || t < nearest.distance) {
                    scratch.object = object;
                    nearest = scratch;
                }
            }
            return false;
        }
        const MeshStore& m = scene.meshes;
        alignas(16) float distance[kBvhWidth], u[kBvhWidth], v[kBvhWidth];
        for (unsigned hits = detail::leafHits<kSimd>(m, r.sheared, first, count, distance, u, v); hits; hits &= hits - 1) {
            const int i = __builtin_ctz(hits);
            const uint32_t t = first + i;
            const TriangleHit h{distance[i], u[i], v[i]};
            if (!(nearest.distance < 0.0f || h.distance < nearest.distance ||
                  (h.distance == nearest.distance && winsTie(t, nearest))))
                continue;
            SceneObject* object = m.object(t);
            if (kCamera && (object->flags & kHiddenFromCamera)) continue;
            if (object == excludeObject && h.distance < 0.0001f) continue;
            nearest = HitRecord{};
            nearest.distance = h.distance;
            nearest.u = h.u;
            nearest.v = h.v;
            nearest.object = object;
            nearest.triangle = t;
        }
        return false;
    }
};

// Occlusion, with the rules of OcclusionVisitor (trace/traverse.h) for objects and mesh parts.
struct BvhOcclusionVisitor {
    const Scene& scene;
    const BvhRay& r;
    float maxDistance;
    const SceneObject* skipObject;
    const SceneObject* excludeObject;
    float blocker = -1.0f;

    float limit() const { return maxDistance; }
    template <bool kSimd>
    bool leaf(uint32_t first, uint32_t count) {
        if (count & kBvhObjectLeaf) {
            HitRecord scratch{};
            const uint32_t* objects = scene.bvh.objects.data();
            for (uint32_t i = first; i != first + (count & ~kBvhObjectLeaf); ++i) {
                const SceneObject* object = scene.objectTable[objects[i]];
                if ((object->flags & kNoShadowCast) || object == skipObject) continue;
                intersectBlocker(*object, r.origin, r.direction, scratch);
                const float t = scratch.distance;
                if (object == excludeObject && t < 0.0001f) continue;
                if (t > maxDistance) continue;
                if (t <= 0.0f) continue;
                blocker = t;
                return true;
            }
            return false;
        }
        const MeshStore& m = scene.meshes;
        alignas(16) float distance[kBvhWidth], u[kBvhWidth], v[kBvhWidth];
        for (unsigned hits = detail::leafHits<kSimd>(m, r.sheared, first, count, distance, u, v); hits; hits &= hits - 1) {
            const int i = __builtin_ctz(hits);
            const uint32_t t = first + i;
            const float d = distance[i];
            if (!(d > 0.0f) || d > maxDistance) continue;
            const SceneObject* object = m.object(t);
            if ((object->flags & kNoShadowCast) || object == skipObject) continue;
            if (object == excludeObject && d < 0.0001f) continue;
            blocker = d;
            return true;
        }
        return false;
    }
};

template <bool kSimd>
void bvhCameraWalk(const Scene& scene, const Vec3& eye, PrimaryRay& ray) {
    const BvhRay r = bvhRay(eye, ray.direction);
    BvhNearestVisitor<true> v{scene, r, ray.nearest, nullptr};
    walkBvh<kSimd>(scene.bvh, r, v);
}

template <bool kSimd>
void bvhNearestWalk(const Scene& scene, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                    const SceneObject* excludeObject) {
    const BvhRay r = bvhRay(origin, direction);
    BvhNearestVisitor<false> v{scene, r, nearest, excludeObject};
    walkBvh<kSimd>(scene.bvh, r, v);
}

template <bool kSimd>
float bvhOcclusionWalk(const Scene& scene, const Vec3& origin, const Vec3& direction, float maxDistance,
                       const SceneObject* skipObject, const SceneObject* excludeObject) {
    const BvhRay r = bvhRay(origin, direction);
    BvhOcclusionVisitor v{scene, r, maxDistance, skipObject, excludeObject};
    walkBvh<kSimd>(scene.bvh, r, v);
    return v.blocker;
}

}  // namespace lumo
