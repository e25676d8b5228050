// Sphere (2), sphere section (7) and ellipsoid section (9). The sphere routines expect a unit
// direction; the ellipsoid section does not.
#pragma once

#include <cmath>

#include "core/matrix34.h"
#include "intersect/shape_math.h"

namespace lumo {

inline void refreshSphereCache(const SceneObject& o, const Vec3& eye, EyeCache& cache) {
    cache.offset = sub(eye, o.sphere.centre);
    cache.term = isect::lengthSquared(cache.offset) - o.sphere.radiusSquared;
}

// Near root only and no epsilon: an eye inside or a sphere behind the eye gives a negative distance,
// which the traversal rejects. A tangent ray (disc = 0) is a hit.
inline void intersectSphereCamera(const EyeCache& cache, const Vec3& direction, HitRecord& out) {
    const float b = isect::dotf(direction, cache.offset);
    const float disc = b * b - cache.term;
    out.distance = disc < 0.0f ? isect::kMiss : -b - std::sqrt(disc);
}

inline void intersectSphere(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    const Vec3 oc = sub(origin, o.sphere.centre);
    const float b = isect::dotf(oc, direction);
    const float c = isect::lengthSquared(oc) - o.sphere.radiusSquared;
    const float disc = b * b - c;
    if (disc <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    const float root = std::sqrt(disc);
    const float t1 = -b - root;
    out.distance = t1 > isect::kRootEpsilon ? t1 : -b + root;
}

// Longitude and latitude of a local point on the unit sphere.
struct SphereAngles {
    float longitude;
    float latitude;
};
inline SphereAngles sphereAnglesOf(const Vec3& p) { return {polarAngle(p.x, p.y), isect::latitudeOf(p.z)}; }

inline bool insideLatitudes(float latitude, float latitudeMin, float latitudeMax) {
    return latitudeMin <= latitude && latitude <= latitudeMax;
}

// The sphere is tested in world space; the local frame only measures the angles. Sweep 0 means no
// limits at all, latitudes included. u = latitude, v = longitude.
inline void intersectSphereSection(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    const SphereSection& s = o.section;
    const Vec3 oc = sub(origin, s.centre);
    const float b = isect::dotf(oc, direction);
    const float c = isect::lengthSquared(oc) - s.radiusSquared;
    const float disc = b * b - c;
    if (disc <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    const float root = std::sqrt(disc);
    const float t[2] = {-b - root, -b + root};
    const Vec3 dl = transformDirection(direction, s.worldToLocal);
    const Vec3 ol = transformPoint(origin, s.worldToLocal);

    int chosen;
    SphereAngles angles[2];
    if (s.sweep == 0.0f) {
        chosen = t[0] > isect::kRootEpsilon ? 0 : 1;
        angles[chosen] = sphereAnglesOf(isect::pointAlong(ol, t[chosen], dl));
    } else {
        bool valid[2];
        for (int k = 0; k < 2; ++k) {
            angles[k] = sphereAnglesOf(isect::pointAlong(ol, t[k], dl));
            valid[k] = insideLatitudes(angles[k].latitude, s.latitudeMin, s.latitudeMax) &&
                       angles[k].longitude <= s.sweep;
        }
        if (!isect::chooseNearerRoot(t[0], valid[0], t[1], valid[1], chosen)) {
            out.distance = isect::kMiss;
            return;
        }
    }
    out.distance = t[chosen];
    out.u = angles[chosen].latitude;
    out.v = angles[chosen].longitude;
}

// The unit sphere of the local frame: any ellipsoid. Latitude limits always apply; sweep 0 only lifts
// the longitude limit. position = local hit point, u = latitude, v = longitude.
inline void intersectEllipsoidSection(const SceneObject& o, const Vec3& origin, const Vec3& direction,
                                      HitRecord& out) {
    const EllipsoidSection& e = o.ellipsoid;
    const Vec3 dl = transformDirection(direction, e.worldToLocal);
    const Vec3 ol = transformPoint(origin, e.worldToLocal);
    const float a = isect::lengthSquared(dl);
    const float b = isect::dotf(dl, ol);
    const float c = isect::lengthSquared(ol) - 1.0f;
    const float disc = b * b - a * c;
    if (disc <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    const float root = std::sqrt(disc);
    const float t[2] = {(-b - root) / a, (-b + root) / a};
    Vec3 p[2];
    SphereAngles angles[2];
    bool valid[2];
    for (int k = 0; k < 2; ++k) {
        p[k] = isect::pointAlong(ol, t[k], dl);
        angles[k] = sphereAnglesOf(p[k]);
        valid[k] = insideLatitudes(angles[k].latitude, e.latitudeMin, e.latitudeMax) &&
                   (e.sweep == 0.0f || angles[k].longitude <= e.sweep);
    }
    int chosen;
    if (!isect::chooseNearerRoot(t[0], valid[0], t[1], valid[1], chosen)) {
        out.distance = isect::kMiss;
        return;
    }
    out.distance = t[chosen];
    out.position = p[chosen];
    out.u = angles[chosen].latitude;
    out.v = angles[chosen].longitude;
}

}  // namespace lumo
