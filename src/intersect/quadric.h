// Cylinder or cone (3) and paraboloid (8), both solved in their local frame. The hit point is left in
// local coordinates for the completion step. The quadratics use the half linear coefficient:
// A t^2 + 2B t + C = 0.
#pragma once

#include <cmath>

#include "core/matrix34.h"
#include "intersect/shape_math.h"

namespace lumo {

// Constant term of the cylinder/cone quadratic for a local origin.
inline float revolvedConstantTerm(const RevolvedShape& s, const Vec3& ol) {
    if (s.taper != 0.0f) {
        const float h = 1.0f - s.taper * ol.z;
        return ol.x * ol.x + ol.y * ol.y - h * h;
    }
    return ol.x * ol.x + ol.y * ol.y - 1.0f;
}

inline void refreshRevolvedCache(const SceneObject& o, const Vec3& eye, EyeCache& cache) {
    cache.offset = transformPoint(eye, o.revolved.worldToLocal);
    cache.term = revolvedConstantTerm(o.revolved, cache.offset);
}

// Solves for local origin ol, local direction dl and constant term c.
inline void intersectRevolvedLocal(const SceneObject& o, const Vec3& ol, const Vec3& dl, float c, HitRecord& out) {
    const RevolvedShape& s = o.revolved;
    const float k = s.taper;
    float a, b;
    if (k != 0.0f) {
        const float kz = k * dl.z;
        a = dl.x * dl.x + dl.y * dl.y - kz * kz;
        b = ol.x * dl.x + ol.y * dl.y + kz * (1.0f - k * ol.z);
    } else {
        a = dl.x * dl.x + dl.y * dl.y;
        b = ol.x * dl.x + ol.y * dl.y;
    }
    const float disc = b * b - a * c;
    if (disc <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    // A = 0 with a positive discriminant: a ray parallel to a generator line of a cone meets the
    // surface once, at the root of the linear equation 2B t + C = 0 (B != 0 since disc = B^2 > 0).
    const bool linear = a == 0.0f;
    const float root = std::sqrt(disc);

    if (s.sweep != 0.0f || (o.flags & kFlipNormal)) {
        float t[2] = {0.0f, 0.0f};
        int count;
        if (linear) {
            if (b == 0.0f) {
                out.distance = isect::kMiss;
                return;
            }
            t[0] = -c / (2.0f * b);
            count = 1;
        } else {
            t[0] = (-b - root) / a;
            t[1] = (-b + root) / a;
            count = 2;
        }
        Vec3 p[2];
        float angle[2];
        bool valid[2] = {false, false};
        for (int i = 0; i < count; ++i) {
            p[i] = isect::pointAlong(ol, t[i], dl);
            angle[i] = polarAngle(p[i].x, p[i].y);
            valid[i] = p[i].z >= 0.0f && p[i].z <= 1.0f && (s.sweep == 0.0f || angle[i] <= s.sweep);
        }
        int chosen;
        if (!isect::chooseNearerRoot(t[0], valid[0], t[1], valid[1], chosen)) {
            out.distance = isect::kMiss;
            return;
        }
        out.distance = t[chosen];
        out.position = p[chosen];
        out.u = angle[chosen];
        out.v = p[chosen].z;
        return;
    }

    // One-root test: the root where the ray enters the quadric.
    float t;
    if (linear) {
        if (b == 0.0f) {
            out.distance = isect::kMiss;
            return;
        }
        t = -c / (2.0f * b);
    } else {
        t = (-b - root) / a;
    }
    out.distance = t;
    const float z = ol.z + t * dl.z;
    if (z < 0.0f || z > 1.0f) {
        out.distance = isect::kMiss;
        return;
    }
    out.position = isect::pointAlong(ol, t, dl);
}

inline void intersectRevolved(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    const Vec3 dl = transformDirection(direction, o.revolved.worldToLocal);
    const Vec3 ol = transformPoint(origin, o.revolved.worldToLocal);
    intersectRevolvedLocal(o, ol, dl, revolvedConstantTerm(o.revolved, ol), out);
}

inline void intersectRevolvedCamera(const SceneObject& o, const EyeCache& cache, const Vec3& direction,
                                    HitRecord& out) {
    const Vec3 dl = transformDirection(direction, o.revolved.worldToLocal);
    intersectRevolvedLocal(o, cache.offset, dl, cache.term, out);
}

// z = x^2 + y^2 up to heightMax, no lower limit. position = local hit point, u = height, v = angle.
inline void intersectParaboloid(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    const Paraboloid& s = o.paraboloid;
    const Vec3 dl = transformDirection(direction, s.worldToLocal);
    const Vec3 ol = transformPoint(origin, s.worldToLocal);
    const float a = dl.x * dl.x + dl.y * dl.y;
    const float b = ol.x * dl.x + ol.y * dl.y - 0.5f * dl.z;
    const float c = ol.x * ol.x + ol.y * ol.y - ol.z;
    const float disc = b * b - a * c;
    if (disc <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    float t[2] = {0.0f, 0.0f};
    int count;
    if (a == 0.0f) {
        // Parallel to the axis: the single crossing of 2B t + C = 0.
        if (b == 0.0f) {
            out.distance = isect::kMiss;
            return;
        }
        t[0] = -c / (2.0f * b);
        count = 1;
    } else {
        const float root = std::sqrt(disc);
        t[0] = (-b - root) / a;
        t[1] = (-b + root) / a;
        count = 2;
    }
    Vec3 p[2];
    float angle[2];
    bool valid[2] = {false, false};
    for (int i = 0; i < count; ++i) {
        p[i] = isect::pointAlong(ol, t[i], dl);
        angle[i] = polarAngle(p[i].x, p[i].y);
        valid[i] = p[i].z <= s.heightMax && (s.sweep == 0.0f || angle[i] <= s.sweep);
    }
    int chosen;
    if (!isect::chooseNearerRoot(t[0], valid[0], t[1], valid[1], chosen)) {
        out.distance = isect::kMiss;
        return;
    }
    out.distance = t[chosen];
    out.position = p[chosen];
    out.u = p[chosen].z;
    out.v = angle[chosen];
}

}  // namespace lumo
