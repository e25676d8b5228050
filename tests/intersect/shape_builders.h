// Builders and ray helpers shared by the intersection tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "intersect/intersect.h"

namespace lumo::test {

inline SceneObject makePatch(ShapeType type, Vec3 origin, Vec3 edgeA, Vec3 edgeB, uint16_t flags = 0) {
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

// A record with sentinels, so fields a routine leaves alone stay visible.
inline HitRecord sentinelHit() {
    HitRecord hit{};
    hit.position = {77.0f, 77.0f, 77.0f};
    hit.u = hit.v = 99.0f;
    hit.distance = 123.0f;
    return hit;
}

// Result of the general form.
inline HitRecord generalHit(const SceneObject& o, Vec3 origin, Vec3 direction) {
    HitRecord hit = sentinelHit();
    intersectGeneral(o, origin, direction, hit);
    return hit;
}

// What the camera rays of one frame read for a few free-standing objects: the eye, the objects' eye
// caches and one worker's mailbox. The objects are numbered 0..n-1, as a scene numbers its objects.
struct CameraFrame {
    Vec3 eye;
    std::vector<EyeCache> caches;
    std::vector<uint32_t> mailbox;
    PrimaryRay ray;

    CameraFrame(Vec3 eyePosition, std::initializer_list<SceneObject*> objects)
        : eye(eyePosition), caches(objects.size()), mailbox(objects.size(), 0u) {
        uint32_t index = 0;
        for (SceneObject* o : objects) {
            o->index = index++;
            refreshCameraCache(*o, eye, caches[o->index]);
        }
        ray.mailbox = mailbox.data();
    }

    CameraEye view() const { return {eye, caches.data()}; }

    // The next camera ray along `direction`: a new ray id, the candidate filled with sentinels, no
    // best hit yet.
    PrimaryRay& next(Vec3 direction) {
        ray.direction = direction;
        ray.candidate = sentinelHit();
        ray.nearest.distance = -1.0f;
        ++ray.rayId;
        return ray;
    }
    HitRecord hit(const SceneObject& o, Vec3 direction) {
        intersectPrimary(next(direction), o, view());
        return ray.candidate;
    }
};

// One camera ray from `eye` in a frame prepared for that eye.
inline HitRecord cameraHit(SceneObject& o, Vec3 eye, Vec3 direction) {
    CameraFrame frame(eye, {&o});
    return frame.hit(o, direction);
}

}  // namespace lumo::test
