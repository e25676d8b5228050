// Type-code dispatch of ray-object intersection.
#pragma once

#include "intersect/hit_record.h"

namespace lumo {

// Camera ray: eye cache and per-slot mailbox; writes ray.candidate, never ray.nearest.
inline void intersectPrimary(PrimaryRay& ray, SceneObject& object);
// Any other ray: writes out.distance and per shape position/u/v. Writes nothing into the object.
inline void intersectGeneral(const SceneObject& object, const Vec3& origin, const Vec3& direction, HitRecord& out);

// Recomputes the object's camera cache from the current eye and stamps it with the frame stamp.
// The renderer calls this for every object before a frame's rays start, so workers only read caches.
void refreshCameraCache(SceneObject& object);

}  // namespace lumo

// The definitions are inline so the tree walks can inline the per-object tests.
#include "intersect/dispatch_inline.h"
