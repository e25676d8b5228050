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
inline void intersectPatchCameraSse(SceneObject& o, const Vec3& eye, uint16_t stamp, const Vec3& d, HitRecord& out) {
    intersectPatchCamera(o, eye, stamp, d, out);
}
inline void intersectSphereSse(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    intersectSphere(o, origin, direction, out);
}
inline void intersectSphereCameraSse(SceneObject& o, const Vec3& eye, uint16_t stamp, const Vec3& d, HitRecord& out) {
    intersectSphereCamera(o, eye, stamp, d, out);
}
}  // namespace lumo
#endif

namespace lumo {

namespace sse {

// Camera dispatch with the eye and frame stamp already read (once per leaf).
inline void intersectPrimaryAt(PrimaryRay& ray, SceneObject& object, const Vec3& eye, uint16_t frameStamp) {
    HitRecord& out = ray.candidate;
    if (!cameraRayMayTest(ray, object)) return;

    const uint16_t type = object.type;
    if ((type & ~1u) == 0) {
        intersectPatchCameraSse(object, eye, frameStamp, ray.direction, out);
        return;
    }
    if (type == kSphere) {
        intersectSphereCameraSse(object, eye, frameStamp, ray.direction, out);
        return;
    }
    switch (type) {
        case kRevolved: intersectRevolvedCamera(object, eye, frameStamp, ray.direction, out); return;
        case kDisc: intersectDiscCamera(object, eye, frameStamp, ray.direction, out); return;
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
// SSE twin of intersectPrimary: flag 0x0040, mailbox, then the type code (the free object).
void intersectPrimarySse(PrimaryRay& ray, SceneObject& object);
// SSE twin of intersectGeneral (the free object).
void intersectGeneralSse(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);

// The leaf steps of the two tree walks, inline in the SSE instantiation of the walks. Camera walk:
// nearest accepted hit over one leaf's list; a candidate is taken when its distance is >= 0 and
// smaller than the nearest so far, so equal distances keep the earlier object. General walk: the same
// filters as the portable leaf; shadow rays (maxDistance != 0) skip non-casters and skipObject,
// ignore hits beyond maxDistance and stop at the first blocker; hits on excludeObject closer than
// 0.0001 are self-hits.
inline void cameraLeafSse(PrimaryRay& ray, const ObjectNode* list) {
    const World& w = world();
    const Vec3& eye = w.camera.eyePosition;
    const uint16_t frameStamp = w.frameStamp;
    for (const ObjectNode* n = list; n; n = n->next) {
        sse::intersectPrimaryAt(ray, *n->object, eye, frameStamp);
        const float t = ray.candidate.distance;
        if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
            ray.candidate.object = n->object;
            ray.nearest = ray.candidate;
        }
    }
}

inline void generalLeafSse(const ObjectNode* list, const Vec3& origin, const Vec3& direction, HitRecord& nearest,
                           const SceneObject* skipObject, const SceneObject* excludeObject, float maxDistance) {
    const bool shadowRay = maxDistance != 0.0f;
    HitRecord scratch{};
    for (const ObjectNode* n = list; n; n = n->next) {
        SceneObject* object = n->object;
        if (shadowRay && ((object->flags & kNoShadowCast) || object == skipObject)) continue;
        sse::intersectGeneralAt(*object, origin, direction, scratch);
        const float t = scratch.distance;
        if (object == excludeObject && t < 0.0001f) continue;
        if (shadowRay && t > maxDistance) continue;
        if (t < 0.0f) continue;
        if (nearest.distance < 0.0f || t < nearest.distance) {
            scratch.object = object;
            nearest = scratch;
        }
        if (shadowRay) return;
    }
}

}  // namespace lumo
