// Where a ray enters the scene box, with the per-frame classification of the eye against the box.
#pragma once

#include <cstdint>

#include "intersect/hit_record.h"
#include "scene/kd_tree.h"

namespace lumo {

// Component a (0 = x, 1 = y, 2 = z) of a vector.
inline float axisValue(const Vec3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
inline void setAxisValue(Vec3& v, int a, float value) {
    if (a == 0)
        v.x = value;
    else if (a == 1)
        v.y = value;
    else
        v.z = value;
}

// The eye against the scene box, per axis: outside (then `plane` is the face the eye looks at) or
// between the two faces. Computed once per frame by the view; read-only while the rays run.
struct CameraBoxCache {
    float plane[3] = {0.0f, 0.0f, 0.0f};
    bool outside[3] = {false, false, false};
    bool eyeInside = true;
};

// Classifies the eye against the box: a coordinate below the minimum or above the maximum is outside.
CameraBoxCache classifyEye(const Box& box, const Vec3& eye);

namespace detail {

// Steps 2..4 of the slab test, once the origin is known to be outside: the entry axis is the one
// with the largest entry parameter; the entry point must lie within the box on the other axes.
inline void enterFromOutside(const Box& box, const Vec3& origin, const Vec3& direction, const float plane[3],
                             const bool outside[3], HitRecord& out) {
    float tEnter[3];
    for (int a = 0; a < 3; ++a) {
        const float d = axisValue(direction, a);
        tEnter[a] = (outside[a] && d != 0.0f) ? (plane[a] - axisValue(origin, a)) / d : -1.0f;
    }
    int entryAxis = 0;
    if (tEnter[1] > tEnter[entryAxis]) entryAxis = 1;
    if (tEnter[2] > tEnter[entryAxis]) entryAxis = 2;
    const float t = tEnter[entryAxis];
    out.distance = t;
    if (t < 0.0f) return;
    Vec3 entry;
    for (int a = 0; a < 3; ++a) {
        if (a == entryAxis) {
            setAxisValue(entry, a, plane[a]);
            continue;
        }
        const float p = axisValue(origin, a) + t * axisValue(direction, a);
        if (p < axisValue(box.min, a) || p > axisValue(box.max, a)) {
            out.distance = -1.0f;
            return;
        }
        setAxisValue(entry, a, p);
    }
    out.position = entry;
}

}  // namespace detail

// General form: writes the entry point into out.position and its parameter into out.distance.
// Negative = the ray misses the box; exactly 1.0 with position = origin = the origin is inside.
inline void enterBox(const Box& box, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    float plane[3];
    bool outside[3];
    bool inside = true;
    for (int a = 0; a < 3; ++a) {
        const float o = axisValue(origin, a);
        const float lo = axisValue(box.min, a);
        const float hi = axisValue(box.max, a);
        outside[a] = true;
        if (o < lo) {
            plane[a] = lo;
        } else if (o > hi) {
            plane[a] = hi;
        } else {
            plane[a] = 0.0f;
            outside[a] = false;
        }
        inside = inside && !outside[a];
    }
    if (inside) {
        out.position = origin;
        out.distance = 1.0f;
        return;
    }
    detail::enterFromOutside(box, origin, direction, plane, outside, out);
}

// Camera form: origin `eye`, classification taken from the frame's cache; result in ray.candidate.
inline void enterBox(const Box& box, const Vec3& eye, const CameraBoxCache& c, PrimaryRay& ray) {
    if (c.eyeInside) {
        ray.candidate.position = eye;
        ray.candidate.distance = 1.0f;
        return;
    }
    detail::enterFromOutside(box, eye, ray.direction, c.plane, c.outside, ray.candidate);
}

}  // namespace lumo
