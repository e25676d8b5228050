// Helpers shared by the SSE path tests: one ray through either path.
#pragma once

#include <gtest/gtest.h>

#include "intersect/intersect.h"
#include "intersect/shape_builders.h"
#include "simd/sse_dispatch.h"

namespace lumo::test {

inline HitRecord portableGeneral(const SceneObject& o, Vec3 origin, Vec3 direction) {
    return generalHit(o, origin, direction);
}

inline HitRecord sseGeneral(const SceneObject& o, Vec3 origin, Vec3 direction) {
    HitRecord hit = sentinelHit();
    intersectGeneralSse(o, origin, direction, hit);
    return hit;
}

// The next camera ray of the frame through the portable (`sse` false) or the SSE camera dispatch.
inline HitRecord cameraHit(CameraFrame& frame, const SceneObject& o, Vec3 direction, bool sse) {
    PrimaryRay& ray = frame.next(direction);
    if (sse)
        intersectPrimarySse(ray, o, frame.view());
    else
        intersectPrimary(ray, o, frame.view());
    return ray.candidate;
}

}  // namespace lumo::test
