#include "simd/sse_box_entry.h"

#include "simd/sse_ops.h"

namespace lumo {

CameraBoxCache classifyEyeSse(const Box& box, const Vec3& eye) {
    CameraBoxCache c;
    c.eyeInside = true;
    for (int a = 0; a < 3; ++a) {
        const float o = axisValue(eye, a);
        if (o >= axisValue(box.max, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.max, a);
        } else if (o < axisValue(box.min, a)) {
            c.outside[a] = true;
            c.plane[a] = axisValue(box.min, a);
        } else {
            c.outside[a] = false;
            c.plane[a] = 0.0f;
        }
        c.eyeInside = c.eyeInside && !c.outside[a];
    }
    return c;
}

#if defined(__SSE__)

void enterBoxCameraSse(const Box& box, const Vec3& eye, const CameraBoxCache& c, PrimaryRay& ray) {
    using namespace sse;
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
    // The largest entry parameter, switching only on a strictly larger one.
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

#else

void enterBoxCameraSse(const Box& box, const Vec3& eye, const CameraBoxCache& c, PrimaryRay& ray) {
    enterBox(box, eye, c, ray);
}

#endif

}  // namespace lumo
