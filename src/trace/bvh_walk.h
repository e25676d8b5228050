// The walk of a scene's BVH by one ray: the four child boxes of a node in one test (SSE, or the
// scalar loop that computes the same numbers), the children the ray meets visited nearest first,
// mesh triangles by the watertight test, other objects by their own routines. Three visitors as for
// the flat tree: a camera ray's nearest hit (objects hidden from the camera left out), any other
// ray's nearest hit, and occlusion.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#include "intersect/bvh_ray.h"
#include "intersect/intersect.h"
#include "scene/scene.h"

namespace lumo {

// Visitor: limit() the farthest distance still of interest; leaf(first, count) tests a leaf's
// triangles or (count & kBvhObjectLeaf) objects and returns true to end the walk.
template <bool kSimd, class Visitor>
void walkBvh(const Bvh& bvh, const BvhRay& r, Visitor& v) {
    struct Entry {
        uint32_t child, count;
        float enter;
    };
    Entry stack[kMaxBvhDepth * (kBvhWidth - 1) + 1];
    int top = 0;
    stack[top++] = {0, 0, 0.0f};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.enter > v.limit()) continue;
        if (e.count) {
            if (v.leaf(e.child, e.count)) return;
            continue;
        }
        const BvhNode& node = bvh.nodes[e.child];
        alignas(16) float enter[kBvhWidth];
        unsigned hits = kSimd ? detail::childHitsSse(node, r, v.limit(), enter)
                              : detail::childHitsScalar(node, r, v.limit(), enter);
        // The children met, farthest pushed first (ties in slot order), so the nearest comes next.
        Entry met[kBvhWidth];
        int n = 0;
        for (; hits; hits &= hits - 1) {
            const int k = __builtin_ctz(hits);
            Entry c{node.child[k], node.count[k], enter[k]};
            int j = n++;
            while (j > 0 && met[j - 1].enter < c.enter) met[j] = met[j - 1], --j;
            met[j] = c;
        }
        for (int j = 0; j < n; ++j) stack[top++] = met[j];
    }
}

namespace detail {

inline void triangleCorners(const MeshStore& m, uint32_t t, Vec3& a, Vec3& b, Vec3& c) {
    const uint32_t* i = m.triangle(t);
    a = m.positions[i[0]], b = m.positions[i[1]], c = m.positions[i[2]];
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
        for (uint32_t t = first; t != first + count; ++t) {
            Vec3 a, b, c;
            detail::triangleCorners(m, t, a, b, c);
            const TriangleHit h = intersectWatertight(r.sheared, a, b, c);
            if (h.distance < 0.0f) continue;
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
        for (uint32_t t = first; t != first + count; ++t) {
            Vec3 a, b, c;
            detail::triangleCorners(m, t, a, b, c);
            const float d = intersectWatertight(r.sheared, a, b, c).distance;
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
