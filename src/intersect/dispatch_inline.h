// Inline definitions of the type-code dispatch, so the tree walk that calls it per object per ray
// can inline the shape routines. Included at the end of intersect/intersect.h.
#pragma once

#include "intersect/planar.h"
#include "intersect/quadric.h"
#include "intersect/sphere.h"
#include "intersect/torus.h"

namespace lumo {

inline void intersectGeneral(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    switch (object.type) {
        case kTriangle:
        case kParallelogram: intersectPatch(object, origin, direction, out); return;
        case kSphere: intersectSphere(object, origin, direction, out); return;
        case kRevolved: intersectRevolved(object, origin, direction, out); return;
        case kDisc: intersectDisc(object, origin, direction, out); return;
        case kTorus: intersectTorus(object, origin, direction, out); return;
        case kSphereSection: intersectSphereSection(object, origin, direction, out); return;
        case kParaboloid: intersectParaboloid(object, origin, direction, out); return;
        case kEllipsoidSection: intersectEllipsoidSection(object, origin, direction, out); return;
        case kDiscSector: intersectDiscSector(object, origin, direction, out); return;
        case kMeshFaces: break;  // its triangles are tested by the BVH walks
    }
    out.distance = isect::kMiss;  // a code without a routine never hits
}

inline void intersectBlocker(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    if (object.type == kTorus)
        intersectTorus(object, origin, direction, out, true);
    else
        intersectGeneral(object, origin, direction, out);
}

inline void intersectNearer(const SceneObject& object, const Vec3& origin, const Vec3& direction, float limit,
                            HitRecord& out) {
    switch (object.type) {
        case kTriangle:
        case kParallelogram: intersectPatch(object, origin, direction, out, limit); return;
        case kDisc: intersectDisc(object, origin, direction, out, limit); return;
        case kDiscSector: intersectDiscSector(object, origin, direction, out, limit); return;
        case kSphere:
        case kRevolved:
        case kTorus:
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection: intersectGeneral(object, origin, direction, out); return;
        case kMeshFaces: break;
    }
    out.distance = isect::kMiss;
}

// The steps before any camera-ray test: objects hidden from the camera, and objects this ray already
// tested in another leaf (its result is in `nearest` if it was the best), are a miss. Otherwise the
// worker's mailbox entry for an object listed in several leaves takes the ray's id and the test goes
// ahead; an object in one leaf only is met once per ray and needs no entry.
inline bool cameraRayMayTest(PrimaryRay& ray, const SceneObject& object) {
    if (object.flags & kHiddenFromCamera) {
        ray.candidate.distance = isect::kMiss;
        return false;
    }
    if (object.leafCount > 1) {
        uint32_t& mailbox = ray.mailbox[object.index];
        if (mailbox == ray.rayId) {
            ray.candidate.distance = isect::kMiss;
            return false;
        }
        mailbox = ray.rayId;
    }
    return true;
}

inline void intersectCamera(const SceneObject& object, const EyeCache& cache, const Vec3& eye,
                            const Vec3& direction, HitRecord& out, float limit) {
    switch (object.type) {
        case kTriangle:
        case kParallelogram: intersectPatchCamera(object, cache, eye, direction, out, limit); return;
        case kSphere: intersectSphereCamera(cache, direction, out); return;
        case kRevolved: intersectRevolvedCamera(object, cache, direction, out); return;
        case kDisc: intersectDiscCamera(object, cache, eye, direction, out, limit); return;
        case kTorus:
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection:
        case kDiscSector: intersectGeneral(object, eye, direction, out); return;
        case kMeshFaces: break;
    }
    out.distance = isect::kMiss;
}

inline void intersectPrimary(PrimaryRay& ray, const SceneObject& object, const CameraEye& view) {
    if (!cameraRayMayTest(ray, object)) return;
    intersectCamera(object, view.caches[object.index], view.eye, ray.direction, ray.candidate, ray.nearest.distance);
}

}  // namespace lumo
