// Walks of the subdivision tree: nearest hit of camera rays, nearest hit of any other ray, occlusion.
// Header-only so that the trace entry points and the shadow queries inline them.
#pragma once

#include "intersect/intersect.h"
#include "scene/kd_tree.h"
#include "intersect/box_entry.h"

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

// Camera ray from view.eye along ray.direction through `node`, whose cell is [cellMin, cellMax] and
// which the ray enters at `entry`. Updates ray.nearest; ray.candidate is scratch.
inline void traverseCamera(PrimaryRay& ray, const KdNode* node, Vec3 entry, Vec3 cellMin, Vec3 cellMax,
                           const CameraEye& view) {
    const int32_t axis = node->axis;
    if (axis == 0) {
        for (const ObjectNode* n = node->objects(); n; n = n->next) {
            intersectPrimary(ray, *n->object, view);
            const float t = ray.candidate.distance;
            if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
                ray.candidate.object = n->object;
                ray.nearest = ray.candidate;
            }
        }
        return;
    }
    if (axis < 1 || axis > 3) return;
    const Vec3& eye = view.eye;
    const int a = axis - 1;
    const float split = node->split;
    const float entryCoord = axisValue(entry, a);
    const bool nearIsBelow = entryCoord < split;
    Vec3 nearMin = cellMin, nearMax = cellMax;
    if (nearIsBelow)
        setAxisValue(nearMax, a, split);
    else
        setAxisValue(nearMin, a, split);
    traverseCamera(ray, nearIsBelow ? node->belowChild() : node->above, entry, nearMin, nearMax, view);

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
    traverseCamera(ray, nearIsBelow ? node->above : node->belowChild(), q, farMin, farMax, view);
}

// Nearest hit of any ray but a camera ray, through `node` entered at `entry`. Hits on `excludeObject`
// closer than 0.0001 are self-hits and ignored.
inline void traverseNearest(const KdNode* node, Vec3 entry, const Vec3& origin, const Vec3& direction,
                            HitRecord& nearest, const SceneObject* excludeObject, Vec3 cellMin, Vec3 cellMax) {
    const int32_t axis = node->axis;
    if (axis == 0) {
        HitRecord scratch{};
        for (const ObjectNode* n = node->objects(); n; n = n->next) {
            SceneObject* object = n->object;
            intersectNearer(*object, origin, direction, nearest.distance, scratch);
            const float t = scratch.distance;
            if (object == excludeObject && t < 0.0001f) continue;
            if (t < 0.0f) continue;
            if (nearest.distance < 0.0f || t < nearest.distance) {
                scratch.object = object;
                nearest = scratch;
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
    traverseNearest(nearIsBelow ? node->belowChild() : node->above, entry, origin, direction, nearest,
                          excludeObject, nearMin, nearMax);
    const float d = axisValue(direction, a);
    if (nearest.distance >= 0.0f &&
        detail::hitBeforeEntry(nearIsBelow, entryCoord, axisValue(origin, a) + nearest.distance * d))
        return;
    if (nearIsBelow ? !(d > 0.0f) : !(d < 0.0f)) return;
    const float t = (split - entryCoord) / d;
    const Vec3 q = add(entry, scale(t, direction));
    if (!detail::strictlyInside(q, cellMin, cellMax)) return;
    Vec3 farMin = cellMin, farMax = cellMax;
    if (nearIsBelow)
        setAxisValue(farMin, a, split);
    else
        setAxisValue(farMax, a, split);
    traverseNearest(nearIsBelow ? node->above : node->belowChild(), q, origin, direction, nearest,
                          excludeObject, farMin, farMax);
}

// Occlusion of a shadow ray of length maxDistance through `node` entered at `entry`: skips objects
// flagged kNoShadowCast and `skipObject` (the light's own geometry), ignores hits beyond maxDistance
// and self-hits on `excludeObject`, and stops at the first blocker. Returns its distance, or -1 when
// nothing blocks (a blocker whose distance is not a number also ends the walk).
inline float traverseOcclusion(const KdNode* node, Vec3 entry, const Vec3& origin, const Vec3& direction,
                               float maxDistance, const SceneObject* skipObject, const SceneObject* excludeObject,
                               Vec3 cellMin, Vec3 cellMax) {
    const int32_t axis = node->axis;
    if (axis == 0) {
        HitRecord scratch{};
        for (const ObjectNode* n = node->objects(); n; n = n->next) {
            const SceneObject* object = n->object;
            if ((object->flags & kNoShadowCast) || object == skipObject) continue;
            intersectBlocker(*object, origin, direction, scratch);
            const float t = scratch.distance;
            if (object == excludeObject && t < 0.0001f) continue;
            if (t > maxDistance) continue;
            if (t < 0.0f) continue;
            return t;
        }
        return -1.0f;
    }
    if (axis < 1 || axis > 3) return -1.0f;
    const int a = axis - 1;
    const float split = node->split;
    const float entryCoord = axisValue(entry, a);
    const bool nearIsBelow = entryCoord < split;
    Vec3 nearMin = cellMin, nearMax = cellMax;
    if (nearIsBelow)
        setAxisValue(nearMax, a, split);
    else
        setAxisValue(nearMin, a, split);
    const float blocker = traverseOcclusion(nearIsBelow ? node->belowChild() : node->above, entry, origin,
                                                  direction, maxDistance, skipObject, excludeObject, nearMin, nearMax);
    if (!(blocker < 0.0f)) return blocker;
    const float d = axisValue(direction, a);
    if (nearIsBelow ? !(d > 0.0f) : !(d < 0.0f)) return -1.0f;
    const float t = (split - entryCoord) / d;
    const Vec3 q = add(entry, scale(t, direction));
    if (!detail::strictlyInside(q, cellMin, cellMax)) return -1.0f;
    Vec3 farMin = cellMin, farMax = cellMax;
    if (nearIsBelow)
        setAxisValue(farMin, a, split);
    else
        setAxisValue(farMax, a, split);
    return traverseOcclusion(nearIsBelow ? node->above : node->belowChild(), q, origin, direction, maxDistance,
                                   skipObject, excludeObject, farMin, farMax);
}

}  // namespace lumo
