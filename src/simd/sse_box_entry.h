// SSE twin of the camera form of the scene-box entry, and the classification of the eye that both
// camera forms share through the per-frame camera box cache.
#pragma once

#include "trace/box_entry.h"

namespace lumo {

// Fills cameraBoxCache with the SSE path's rule: an eye coordinate equal to the box maximum counts
// as beyond it. Called instead of refreshCameraBoxCache for frames rendered on the SSE path.
void refreshCameraBoxCacheSse();

}  // namespace lumo

#if defined(__SSE__)

#include "simd/sse_ops.h"

namespace lumo {

// Entry of the camera ray into the box: position and parameter into ray.candidate; negative = miss,
// 1.0 with position = eye = the eye is inside. An entry coordinate equal to the box maximum is
// outside the box.
inline void enterBoxCameraSse(const Box& box, const Vec3& eye, PrimaryRay& ray) {
    using namespace sse;
    const CameraBoxCache& c = cameraBoxCache;
    HitRecord& out = ray.candidate;
    if (c.eyeInside) {
        out.position = eye;
        out.distance = kOne;
        return;
    }
    const Scalar zero = load(kZero);
    Scalar tEnter[3];
    for (int a = 0; a < 3; ++a) {
        const Scalar d = load(axisValue(ray.direction, a));
        tEnter[a] = (c.outside[a] && !equal(d, zero)) ? div(sub(load(c.plane[a]), load(axisValue(eye, a))), d)
                                                      : load(kMiss);
    }
    int entryAxis = 0;
    if (less(tEnter[entryAxis], tEnter[1])) entryAxis = 1;
    if (less(tEnter[entryAxis], tEnter[2])) entryAxis = 2;
    const Scalar t = tEnter[entryAxis];
    store(out.distance, t);
    if (less(t, zero)) return;
    float entry[3];
    for (int a = 0; a < 3; ++a) {
        if (a == entryAxis) {
            entry[a] = c.plane[a];
            continue;
        }
        const Scalar p = add(load(axisValue(eye, a)), mul(t, load(axisValue(ray.direction, a))));
        if (less(p, load(axisValue(box.min, a))) || greaterEqual(p, load(axisValue(box.max, a)))) {
            out.distance = kMiss;
            return;
        }
        store(entry[a], p);
    }
    out.position = {entry[0], entry[1], entry[2]};
}

}  // namespace lumo

#else

namespace lumo {
inline void enterBoxCameraSse(const Box& box, const Vec3& eye, PrimaryRay& ray) { enterBox(box, eye, ray); }
}  // namespace lumo

#endif
