// Tree walks, shadow queries and the two trace entry points.
#pragma once

#include <cstdint>

#include "intersect/hit_record.h"
#include "scene/kd_tree.h"
#include "scene/material.h"

namespace lumo {

struct PhotonBuffer;

// Hit callback of traceRay: (excludeObject, medium, origin, direction, nearest hit, power, depth, photonBuffer).
using HitCallback = Vec3 (*)(const SceneObject* excludeObject, const Material* medium, const Vec3& origin,
                             const Vec3& direction, HitRecord hit, float power, int depth, PhotonBuffer* photonBuffer);

// Camera ray from the eye along ray.direction, shaded by currentShader. Black when nothing is hit.
Vec3 traceCameraRay(PrimaryRay& ray);

// Any other ray; the nearest hit goes to `shader`. Black when nothing is hit.
Vec3 traceRay(PhotonBuffer* photonBuffer, const SceneObject* excludeObject, const Material* medium,
              const Vec3& origin, const Vec3& direction, float power, HitCallback shader, int depth);

// Blocked fraction of a light seen from X: 1 fully shadowed, 0 fully lit.
float shadowFactor(const SceneObject* excludeObject, const SceneObject* lightObject, const Vec3& x,
                   const Vec3& toLight, float lightDistance);

// Refreshes every per-frame camera cache (objects, mailboxes, camera box) for the current eye and
// frame stamp. Called on the UI thread before a frame's camera rays start.
void prepareCameraFrame();

}  // namespace lumo

namespace lumo {

// Ray counts for measurement: camera samples traced and every ray cast (camera, secondary, photon,
// shadow). Each thread counts into the record rayStats points to; workers point it at their slot's.
struct RayStats {
    uint64_t samples = 0;
    uint64_t rays = 0;
};
extern thread_local RayStats* rayStats;

}  // namespace lumo
