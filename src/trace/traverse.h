// The walk of the scene's flat tree, one template for every scalar ray: a visitor tests a leaf's
// objects and says when the far side of a split may be skipped. Three visitors: the camera ray's
// nearest hit (camera-form tests with the mailbox), any other ray's nearest hit, and occlusion.
// Header-only so that the trace entry points and the shadow queries inline them.
#pragma once

#include "intersect/box_entry.h"
#include "intersect/intersect.h"
#include "scene/scene.h"
#include "intersect/bvh_walk.h"

namespace lumo {

namespace detail {

// Whether a ray at q with direction `dir` goes on into the closed box [lo, hi]: q lies in it, and on
// none of its faces that the ray leaves through. A crossing of a split on the cell's face still
// leads into the far cell where the ray runs along or into the face.
inline bool entersCell(const Vec3& q, const Vec3& dir, const Vec3& lo, const Vec3& hi) {
    for (int b = 0; b < 3; ++b) {
        const float x = axisValue(q, b), d = axisValue(dir, b), l = axisValue(lo, b), h = axisValue(hi, b);
        if (!(l <= x && x <= h)) return false;
        if ((x == l && d < 0.0f) || (x == h && d > 0.0f)) return false;
    }
    return true;
}

// Where the ray from `from` along `dir` meets the plane of `split` on axis a.
inline Vec3 crossingFrom(const Vec3& from, const Vec3& dir, int a, float split) {
    const float t = (split - axisValue(from, a)) / axisValue(dir, a);
    return add(from, scale(t, dir));
}

// After the near child: the nearest hit lies before the entry point as seen from the far child, so
// nothing there can be closer. The hit point is taken as origin + distance * direction, which is the
// true point for every shape (some shapes leave `position` unset or in local coordinates).
inline bool hitBeforeEntry(bool nearIsBelow, float entryCoord, float hitCoord) {
    return nearIsBelow ? entryCoord > hitCoord : entryCoord < hitCoord;
}

}  // namespace detail

// The walk of node `index` of `tree`, whose cell is [cellMin, cellMax], by a ray that enters it at
// `entry`. The child on the entry's side goes first; an entry on the split plane goes first to the
// side the ray heads for (above where it runs in the plane). The other child follows where the ray
// touches it inside the cell: from an entry on the plane always, else where it crosses the plane and
// goes on into the cell. True when the visitor ended the walk.
//
// Visitor: origin() and direction() of the ray; leaf(first, end) tests the object indices
// [first, end) and returns true to end the walk; skipFar(nearIsBelow, entryCoord, axis) says the far
// child cannot improve the answer; crossing(entry, axis, split) is where the ray meets the plane.
template <class Visitor>
bool walkTree(const Accel& tree, uint32_t index, Vec3 entry, Vec3 cellMin, Vec3 cellMax, Visitor& v) {
    const AccelNode& node = tree.nodes[index];
    if (node.isLeaf()) {
        const uint32_t* objects = tree.objectIndices.data();
        return v.leaf(objects + node.objectBegin(), objects + node.objectEnd());
    }
    const int a = node.axis - 1;
    const float split = node.split;
    const float entryCoord = axisValue(entry, a);
    const float d = axisValue(v.direction(), a);
    const bool onPlane = entryCoord == split;
    const bool nearIsBelow = entryCoord < split || (onPlane && d < 0.0f);
    Vec3 nearMin = cellMin, nearMax = cellMax;
    if (nearIsBelow)
        setAxisValue(nearMax, a, split);
    else
        setAxisValue(nearMin, a, split);
    if (walkTree(tree, nearIsBelow ? node.below() : node.above(), entry, nearMin, nearMax, v)) return true;
    if (v.skipFar(nearIsBelow, entryCoord, a)) return false;
    Vec3 q = entry;  // an entry on the plane touches the far cell there (and all along, running in it)
    if (!onPlane) {
        if (nearIsBelow ? !(d > 0.0f) : !(d < 0.0f)) return false;
        q = v.crossing(entry, a, split);
        if (!detail::entersCell(q, v.direction(), cellMin, cellMax)) return false;
    }
    Vec3 farMin = cellMin, farMax = cellMax;
    if (nearIsBelow)
        setAxisValue(farMin, a, split);
    else
        setAxisValue(farMax, a, split);
    return walkTree(tree, nearIsBelow ? node.above() : node.below(), q, farMin, farMax, v);
}

// Camera ray from the eye: updates ray.nearest with the camera-form tests (mailbox for objects in
// several leaves); ray.candidate is scratch. Crossings are taken from the eye.
struct CameraVisitor {
    PrimaryRay& ray;
    const CameraEye& view;
    SceneObject* const* objects;

    const Vec3& origin() const { return view.eye; }
    const Vec3& direction() const { return ray.direction; }
    bool leaf(const uint32_t* first, const uint32_t* end) {
        for (const uint32_t* i = first; i != end; ++i) {
            SceneObject* object = objects[*i];
            intersectPrimary(ray, *object, view);
            const float t = ray.candidate.distance;
            if (t >= 0.0f && (ray.nearest.distance < 0.0f || t < ray.nearest.distance)) {
                ray.candidate.object = object;
                ray.nearest = ray.candidate;
            }
        }
        return false;
    }
    bool skipFar(bool nearIsBelow, float entryCoord, int a) const {
        return ray.nearest.distance >= 0.0f &&
               detail::hitBeforeEntry(nearIsBelow, entryCoord,
                                      axisValue(view.eye, a) + ray.nearest.distance * axisValue(ray.direction, a));
    }
    Vec3 crossing(const Vec3&, int a, float split) const { return detail::crossingFrom(view.eye, ray.direction, a, split); }
};

// Nearest hit of any ray but a camera ray. Hits on `excludeObject` closer than 0.0001 are self-hits
// and ignored.
struct NearestVisitor {
    const Vec3& rayOrigin;
    const Vec3& rayDirection;
    HitRecord& nearest;
    const SceneObject* excludeObject;
    SceneObject* const* objects;

    const Vec3& origin() const { return rayOrigin; }
    const Vec3& direction() const { return rayDirection; }
    bool leaf(const uint32_t* first, const uint32_t* end) {
        HitRecord scratch{};
        for (const uint32_t* i = first; i != end; ++i) {
            SceneObject* object = objects[*i];
            intersectNearer(*object, rayOrigin, rayDirection, nearest.distance, scratch);
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
    bool skipFar(bool nearIsBelow, float entryCoord, int a) const {
        return nearest.distance >= 0.0f &&
               detail::hitBeforeEntry(nearIsBelow, entryCoord,
                                      axisValue(rayOrigin, a) + nearest.distance * axisValue(rayDirection, a));
    }
    Vec3 crossing(const Vec3& entry, int a, float split) const {
        return detail::crossingFrom(entry, rayDirection, a, split);
    }
};

// Occlusion of a shadow ray of length maxDistance: skips objects flagged kNoShadowCast and
// `skipObject` (the light's own geometry), ignores hits beyond maxDistance, at or behind the origin
// (a flat shape answers 0 for a ray that starts in its plane, such as a neighbouring triangle of the
// same surface) and self-hits on `excludeObject`, and ends at the first blocker, whose distance goes
// to `blocker` (a distance that is not a number also ends the walk). `blocker` stays -1 when nothing
// blocks.
struct OcclusionVisitor {
    const Vec3& rayOrigin;
    const Vec3& rayDirection;
    float maxDistance;
    const SceneObject* skipObject;
    const SceneObject* excludeObject;
    SceneObject* const* objects;
    float blocker = -1.0f;

    const Vec3& origin() const { return rayOrigin; }
    const Vec3& direction() const { return rayDirection; }
    bool leaf(const uint32_t* first, const uint32_t* end) {
        HitRecord scratch{};
        for (const uint32_t* i = first; i != end; ++i) {
            const SceneObject* object = objects[*i];
            if ((object->flags & kNoShadowCast) || object == skipObject) continue;
            intersectBlocker(*object, rayOrigin, rayDirection, scratch);
            const float t = scratch.distance;
            if (object == excludeObject && t < 0.0001f) continue;
            if (t > maxDistance) continue;
            if (t <= 0.0f) continue;
            blocker = t;
            return true;
        }
        return false;
    }
    bool skipFar(bool, float, int) const { return false; }
    Vec3 crossing(const Vec3& entry, int a, float split) const {
        return detail::crossingFrom(entry, rayDirection, a, split);
    }
};

// The flat tree's walks alone, for callers that know the scene has no BVH.
inline void flatTreeNearest(const Scene& scene, const Vec3& entry, const Vec3& origin, const Vec3& direction,
                            HitRecord& nearest, const SceneObject* excludeObject) {
    NearestVisitor v{origin, direction, nearest, excludeObject, scene.objectTable.data()};
    walkTree(scene.tree, 0, entry, scene.bounds.min, scene.bounds.max, v);
}
inline float flatTreeOcclusion(const Scene& scene, const Vec3& origin, const Vec3& direction, float maxDistance,
                               const SceneObject* skipObject, const SceneObject* excludeObject) {
    OcclusionVisitor v{origin, direction, maxDistance, skipObject, excludeObject, scene.objectTable.data()};
    walkTree(scene.tree, 0, origin, scene.bounds.min, scene.bounds.max, v);
    return v.blocker;
}

// The camera ray's walk of the scene's tree from its entry into the scene box. A BVH is walked from
// the eye, its boxes tested in SIMD unless `scalarBoxes`.
inline void traverseCamera(PrimaryRay& ray, const Scene& scene, const Vec3& entry, const CameraEye& view,
                           bool scalarBoxes = false) {
    if (scene.usesBvh) {
        if (scalarBoxes)
            bvhCameraWalk<false>(scene, view.eye, ray);
        else
            bvhCameraWalk<true>(scene, view.eye, ray);
        return;
    }
    CameraVisitor v{ray, view, scene.objectTable.data()};
    walkTree(scene.tree, 0, entry, scene.bounds.min, scene.bounds.max, v);
}

// Nearest hit of a ray that enters the scene box at `entry`; updates `nearest`.
inline void traverseNearest(const Scene& scene, const Vec3& entry, const Vec3& origin, const Vec3& direction,
                            HitRecord& nearest, const SceneObject* excludeObject, bool scalarBoxes = false) {
    if (scene.usesBvh) {
        if (scalarBoxes)
            bvhNearestWalk<false>(scene, origin, direction, nearest, excludeObject);
        else
            bvhNearestWalk<true>(scene, origin, direction, nearest, excludeObject);
        return;
    }
    flatTreeNearest(scene, entry, origin, direction, nearest, excludeObject);
}

// The first blocker's distance of a shadow ray that starts at `origin` inside the scene box, or -1.
inline float traverseOcclusion(const Scene& scene, const Vec3& origin, const Vec3& direction, float maxDistance,
                               const SceneObject* skipObject, const SceneObject* excludeObject,
                               bool scalarBoxes = false) {
    if (scene.usesBvh)
        return scalarBoxes ? bvhOcclusionWalk<false>(scene, origin, direction, maxDistance, skipObject, excludeObject)
                           : bvhOcclusionWalk<true>(scene, origin, direction, maxDistance, skipObject, excludeObject);
    return flatTreeOcclusion(scene, origin, direction, maxDistance, skipObject, excludeObject);
}

}  // namespace lumo
