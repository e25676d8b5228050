// Nearest-hit walks of the subdivision tree: one for camera rays, one for every other ray.
// Header-only so that the trace entry points and the shadow queries inline them.
#pragma once

#include "intersect/intersect.h"
#include "scene/kd_tree.h"
#include "simd/sse_dispatch.h"
#include "trace/box_entry.h"

namespace lumo {

namespace detail {

// Far-child entry point Q, when it lies strictly inside the current cell.
inline bool strictlyInside(const Vec3& q, const Vec3& cellMin, const Vec3& cellMax) {
    return cellMin.x < q.x && q.x < cellMax.x && cellMin.y < q.y && q.y < cellMax.y && cellMin.z < q.z &&
           q.z < cellMax.z;
}

// After the near child: the nearest hit lies before the entry point as seen from the far child, so
// nothing there can be closer. The hit point is taken as origin + distance * direction, which is the
// true point for every shape (some shapes leave `position` unset or in local coordinates).
inline bool hitBeforeEntry(bool nearIsBelow, float entryCoord, float hitCoord) {
    return nearIsBelow ? entryCoord > hitCoord : entryCoord < hitCoord;
}

}  // namespace detail

// Camera ray from `eye` along ray.direction through `node`, whose cell is [cellMin, cellMax] and which
// the ray enters at `entry`. Updates ray.nearest; ray.candidate is scratch.
inline void traverseCamera(PrimaryRay& ray, const KdNode* node, Vec3 entry, Vec3 cellMin, Vec3 cellMax,
                           const Vec3& eye) {
    const int32_t axis = node->axis;
    if (axis == 0) {
        if (useSsePath()) [[unlikely]] {  // SSE path: the whole leaf, tested once per leaf
            cameraLeafSse(ray, node->objects());
            return;
        }
        for (const ObjectNode* n = node->objects(); n; n = n->next) {
            intersectPrimary(ray, *n->object);
            const float t = ray.candidate.distance;
            if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
                ray.candidate.object = n->object;
                ray.nearest = ray.candidate;
            }
        }
        return;
    }
    if (axis < 1 || axis > 3) return;
    const int a = axis - 1;
    const float split = node->split;
    const float entryCoord = axisValue(entry, a);
    const bool nearIsBelow = entryCoord < split;
    Vec3 nearMin = cellMin, nearMax = cellMax;
    if (nearIsBelow)
        setAxisValue(nearMax, a, split);
    else
        setAxisValue(nearMin, a, split);
    traverseCamera(ray, nearIsBelow ? node->belowChild() : node->above, entry, nearMin, nearMax, eye);

    const float d = axisValue(ray.direction, a);
    if (ray.nearest.distance >= 0.0f &&
        detail::hitBeforeEntry(nearIsBelow, entryCoord, axisValue(eye, a) + ray.nearest.distance * d))
        return;
    if (nearIsBelow ? !(d > 0.0f) : !(d < 0.0f)) return;
    const float t = (split - axisValue(eye, a)) / d;
    const Vec3 q = add(eye, scale(t, ray.direction));
    if (!detail::strictlyInside(q, cellMin, cellMax)) return;
    Vec3 farMin = cellMin, farMax = cellMax;
    if (nearIsBelow)
        setAxisValue(farMin, a, split);
    else
        setAxisValue(farMax, a, split);
    traverseCamera(ray, nearIsBelow ? node->above : node->belowChild(), q, farMin, farMax, eye);
}

// Any other ray. maxDistance 0: a normal ray. maxDistance > 0: a shadow ray of that length, which
// skips objects flagged kNoShadowCast and `skipObject`, ignores hits beyond maxDistance and stops at
// the first blocker. Hits on `excludeObject` closer than 0.0001 are self-hits and ignored.
inline void traverseGeneral(const KdNode* node, Vec3 entry, const Vec3& origin, const Vec3& direction,
                            HitRecord& nearest, const SceneObject* skipObject, const SceneObject* excludeObject,
                            float maxDistance, Vec3 cellMin, Vec3 cellMax) {
    const int32_t axis = node->axis;
    const bool shadowRay = maxDistance != 0.0f;
    if (axis == 0) {
        if (useSsePath()) [[unlikely]] {  // SSE path: the whole leaf, tested once per leaf
            generalLeafSse(node->objects(), origin, direction, nearest, skipObject, excludeObject, maxDistance);
            return;
        }
        HitRecord scratch{};
        for (const ObjectNode* n = node->objects(); n; n = n->next) {
            SceneObject* object = n->object;
            if (shadowRay && ((object->flags & kNoShadowCast) || object == skipObject)) continue;
            intersectGeneral(*object, origin, direction, scratch);
            const float t = scratch.distance;
            if (object == excludeObject && t < 0.0001f) continue;
            if (shadowRay && t > maxDistance) continue;
            if (t < 0.0f) continue;
            if (nearest.distance < 0.0f || t < nearest.distance) {
                scratch.object = object;
                nearest = scratch;
            }
            if (shadowRay) return;  // any blocker ends a shadow query
        }
        return;
    }
    if (axis < 1 || axis > 3) return;
    const int a = axis - 1;
    const float split = node->split;
    const float entryCoord = axisValue(entry, a);
    const bool nearIsBelow = entryCoord < split;
    Vec3 nearMin = cellMin, nearMax = cellMax;
    if (nearIsBelow)
        setAxisValue(nearMax, a, split);
    else
        setAxisValue(nearMin, a, split);
    traverseGeneral(nearIsBelow ? node->belowChild() : node->above, entry, origin, direction, nearest, skipObject,
                    excludeObject, maxDistance, nearMin, nearMax);

    const float d = axisValue(direction, a);
    if (nearest.distance >= 0.0f) {
        if (shadowRay) return;
        if (detail::hitBeforeEntry(nearIsBelow, entryCoord, axisValue(origin, a) + nearest.distance * d)) return;
    }
    if (nearIsBelow ? !(d > 0.0f) : !(d < 0.0f)) return;
    const float t = (split - entryCoord) / d;
    const Vec3 q = add(entry, scale(t, direction));
    if (!detail::strictlyInside(q, cellMin, cellMax)) return;
    Vec3 farMin = cellMin, farMax = cellMax;
    if (nearIsBelow)
        setAxisValue(farMin, a, split);
    else
        setAxisValue(farMax, a, split);
    traverseGeneral(nearIsBelow ? node->above : node->belowChild(), q, origin, direction, nearest, skipObject,
                    excludeObject, maxDistance, farMin, farMax);
}

}  // namespace lumo
