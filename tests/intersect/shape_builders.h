// Builders and ray helpers shared by the intersection tests.
#pragma once

#include <gtest/gtest.h>

#include "intersect/intersect.h"
#include "scene/world.h"

namespace lumo::test {

inline SceneObject makePatch(uint16_t type, Vec3 origin, Vec3 edgeA, Vec3 edgeB, uint16_t flags = 0) {
    SceneObject o;
    initPlanarPatch(o);
    o.type = type;
    o.flags = flags;
    o.patch.origin = origin;
    o.patch.edgeA = edgeA;
    o.patch.edgeB = edgeB;
    prepareParallelogram(o);
    return o;
}

inline SceneObject makeSphere(Vec3 centre, float radiusSquared) {
    SceneObject o;
    initSphere(o);
    o.sphere.centre = centre;
    o.sphere.radiusSquared = radiusSquared;
    return o;
}

inline SceneObject makeDisc(Vec3 centre, Vec3 normal, float outerSquared, float innerSquared) {
    SceneObject o;
    initDisc(o);
    o.disc.centre = centre;
    o.disc.normal = normal;
    o.disc.outerRadiusSquared = outerSquared;
    o.disc.innerRadiusSquared = innerSquared;
    return o;
}

inline Matrix34 identityMatrix() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

// Result of the general form; the record starts with sentinels so unwritten fields are visible.
inline HitRecord generalHit(const SceneObject& o, Vec3 origin, Vec3 direction) {
    HitRecord hit{};
    hit.u = hit.v = 99.0f;
    hit.distance = 123.0f;
    intersectGeneral(o, origin, direction, hit);
    return hit;
}

// Starts a new frame for the given eye: a fresh frame stamp, cleared mailboxes, caches refreshed.
inline void beginFrame(SceneObject& o, Vec3 eye) {
    camera().eyePosition = eye;
    ++world().frameStamp;
    for (MailboxEntry& entry : o.mailboxRayId) entry = 0;
    refreshCameraCache(o);
}

// One camera ray (id 1, slot 0) in a fresh frame.
inline HitRecord cameraHit(SceneObject& o, Vec3 eye, Vec3 direction) {
    beginFrame(o, eye);
    PrimaryRay ray;
    ray.direction = direction;
    ray.rayId = 1;
    ray.slot = 0;
    ray.candidate = HitRecord{};
    ray.candidate.u = ray.candidate.v = 99.0f;
    ray.candidate.distance = 123.0f;
    intersectPrimary(ray, o);
    return ray.candidate;
}

}  // namespace lumo::test
