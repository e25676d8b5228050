// Builders and helpers shared by the SSE path tests: shapes, one ray through both paths.
#pragma once

#include <gtest/gtest.h>

#include "app/settings.h"
#include "intersect/intersect.h"
#include "intersect/shape_builders.h"
#include "scene/world.h"
#include "simd/sse_dispatch.h"

namespace lumo::test {

// A record with sentinels, so fields a routine leaves alone stay visible.
inline HitRecord sentinelHit() {
    HitRecord hit{};
    hit.position = {77.0f, 77.0f, 77.0f};
    hit.u = hit.v = 99.0f;
    hit.distance = 123.0f;
    return hit;
}

inline HitRecord portableGeneral(const SceneObject& o, Vec3 origin, Vec3 direction) {
    HitRecord hit = sentinelHit();
    intersectGeneral(o, origin, direction, hit);
    return hit;
}

inline HitRecord sseGeneral(const SceneObject& o, Vec3 origin, Vec3 direction) {
    HitRecord hit = sentinelHit();
    intersectGeneralSse(o, origin, direction, hit);
    return hit;
}

// One camera ray through the portable or the SSE camera dispatch; each call is a new ray id.
inline HitRecord cameraHit(SceneObject& o, Vec3 direction, bool sse) {
    static PrimaryRay ray;
    ray.direction = direction;
    ray.candidate = sentinelHit();
    if (++ray.rayId == 0) ray.rayId = 1;
    if (sse)
        intersectPrimarySse(ray, o);
    else
        intersectPrimary(ray, o);
    return ray.candidate;
}

// A new frame with the eye at `eye`: fresh stamp, the object's caches refreshed, mailboxes cleared.
inline void startFrame(SceneObject& o, Vec3 eye) {
    camera().eyePosition = eye;
    ++world().frameStamp;
    for (MailboxEntry& entry : o.mailboxRayId) entry = 0;
    refreshCameraCache(o);
}

// Sets useAsm for the scope of a test and restores it after.
class UseAsm {
public:
    explicit UseAsm(int16_t value) : saved_(settings().useAsm) { settings().useAsm = value; }
    ~UseAsm() { settings().useAsm = saved_; }
    UseAsm(const UseAsm&) = delete;
    UseAsm& operator=(const UseAsm&) = delete;

private:
    int16_t saved_;
};

}  // namespace lumo::test
