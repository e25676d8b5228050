// Type-code dispatch of ray-object intersection.
#pragma once

#include "intersect/hit_record.h"

namespace lumo {

// Camera ray from view.eye: reads the object's eye cache and the worker's mailbox; writes
// ray.candidate, never ray.nearest.
inline void intersectPrimary(PrimaryRay& ray, const SceneObject& object, const CameraEye& view);
// Camera form of one object's test, without the mailbox and hidden-object steps. `limit` is the
// distance of the ray's best hit so far (negative: none); a flat shape whose plane lies at or
// beyond it stops early, leaving a distance no nearest-hit rule accepts.
inline void intersectCamera(const SceneObject& object, const EyeCache& cache, const Vec3& eye,
                            const Vec3& direction, HitRecord& out, float limit = -1.0f);
// Any other ray: writes out.distance and per shape position/u/v. Writes nothing into the object.
inline void intersectGeneral(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);
// intersectGeneral with the early stop of intersectCamera for a best hit at `limit`.
inline void intersectNearer(const SceneObject& object, const Vec3& origin, const Vec3& direction, float limit,
                            HitRecord& out);
// intersectGeneral for a shadow ray, which reads the distance alone: the same distance, other fields
// possibly unset.
inline void intersectBlocker(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);

// Computes the object's eye cache for camera rays from `eye`.
void refreshCameraCache(const SceneObject& object, const Vec3& eye, EyeCache& cache);

}  // namespace lumo

// The definitions are inline so the tree walks can inline the per-object tests.
#include "intersect/dispatch_inline.h"
