// Type-code dispatch of the SSE path and the leaf loops that call it. Codes 0 and 1 (the code with
// its lowest bit cleared is 0) and 2 go to the SSE twins; every other code to the portable routine.
#pragma once

#include "intersect/intersect.h"
#include "simd/sse_path.h"

#if defined(__SSE__)
#include "simd/sse_planar.h"
#include "simd/sse_sphere.h"
#else
// Without SSE in the build useSsePath() is constant false; these keep the call sites compiling.
namespace lumo {
inline void intersectPatchSse(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    intersectPatch(o, origin, direction, out);
}
inline void intersectPatchCameraSse(const SceneObject& o, const EyeCache& c, const Vec3& eye, const Vec3& d,
                                    HitRecord& out) {
    intersectPatchCamera(o, c, eye, d, out);
}
inline void intersectSphereSse(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    intersectSphere(o, origin, direction, out);
}
inline void intersectSphereCameraSse(const EyeCache& c, const Vec3& d, HitRecord& out) {
    intersectSphereCamera(c, d, out);
}
}  // namespace lumo
#endif

namespace lumo {

namespace sse {

// Camera dispatch: the SSE twins for codes 0, 1 and 2, the portable routines for the rest.
inline void intersectPrimaryAt(PrimaryRay& ray, const SceneObject& object, const CameraEye& view) {
    HitRecord& out = ray.candidate;
    if (!cameraRayMayTest(ray, object)) return;

    const Vec3& eye = view.eye;
    const EyeCache& cache = view.caches[object.index];
    const uint16_t type = object.type;
    if ((type & ~1u) == 0) {
        intersectPatchCameraSse(object, cache, eye, ray.direction, out);
        return;
    }
    if (type == kSphere) {
        intersectSphereCameraSse(cache, ray.direction, out);
        return;
    }
    switch (type) {
        case kRevolved: intersectRevolvedCamera(object, cache, ray.direction, out); return;
        case kDisc: intersectDiscCamera(object, cache, eye, ray.direction, out); return;
        case kTorus:
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection:
        case kDiscSector: intersectGeneral(object, eye, ray.direction, out); return;
        default: out.distance = isect::kMiss; return;
    }
}

// SSE twin of intersectGeneral, with everything inline for the leaf loop.
inline void intersectGeneralAt(const SceneObject& object, const Vec3& origin, const Vec3& direction,
                               HitRecord& out) {
    const uint16_t type = object.type;
    if ((type & ~1u) == 0) {
        intersectPatchSse(object, origin, direction, out);
        return;
    }
    if (type == kSphere) {
        intersectSphereSse(object, origin, direction, out);
        return;
    }
    intersectGeneral(object, origin, direction, out);
}

}  // namespace sse

// The entry points of the SSE path. They are out of line: the trace functions that branch to them
// once per ray or per leaf keep the portable code they inline unchanged, and the per-object dispatch
// is inlined into these.
//
// SSE twin of intersectPrimary: flag kHiddenFromCamera, mailbox, then the type code (the free object).
void intersectPrimarySse(PrimaryRay& ray, const SceneObject& object, const CameraEye& view);
// SSE twin of intersectGeneral (the free object).
void intersectGeneralSse(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);

// The leaf steps of the tree walks, inline in the SSE instantiation of the walks, with the same
// filters as the portable leaves. Camera walk: nearest accepted hit over one leaf's list; a candidate
// is taken when its distance is >= 0 and smaller than the nearest so far, so equal distances keep the
// earlier object. Nearest-hit walk: the same, where hits on excludeObject closer than 0.0001 are
// self-hits.
inline void cameraLeafSse(PrimaryRay& ray, const ObjectNode* list, const CameraEye& view) {
    for (const ObjectNode* n = list; n; n = n->next) {
        sse::intersectPrimaryAt(ray, *n->object, view);
        const float t = ray.candidate.distance;
        if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
            ray.candidate.object = n->object;
            ray.nearest = ray.candidate;
        }
    }
}

inline void nearestLeafSse(const ObjectNode* list, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                           const SceneObject* excludeObject) {
    HitRecord scratch{};
    for (const ObjectNode* n = list; n; n = n->next) {
        SceneObject* object = n->object;
        sse::intersectGeneralAt(*object, origin, direction, scratch);
        const float t = scratch.distance;
        if (object == excludeObject && t < 0.0001f) continue;
        if (t < 0.0f) continue;
        if (nearest.distance < 0.0f || t < nearest.distance) {
            scratch.object = object;
            nearest = scratch;
        }
    }
}

// Occlusion walk: skips non-casters and skipObject, ignores hits beyond maxDistance and self-hits on
// excludeObject; returns the distance of the first blocker found, or -1.
inline float occlusionLeafSse(const ObjectNode* list, const Vec3& origin, const Vec3& direction, float maxDistance,
                              const SceneObject* skipObject, const SceneObject* excludeObject) {
    HitRecord scratch{};
    for (const ObjectNode* n = list; n; n = n->next) {
        const SceneObject* object = n->object;
        if ((object->flags & kNoShadowCast) || object == skipObject) continue;
        sse::intersectGeneralAt(*object, origin, direction, scratch);
        const float t = scratch.distance;
        if (object == excludeObject && t < 0.0001f) continue;
        if (t > maxDistance) continue;
        if (t < 0.0f) continue;
        return t;
    }
    return -1.0f;
}

}  // namespace lumo
