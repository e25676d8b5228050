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

// A root of a section test at local point p: its angles, measured as far as the limits need them.
// The longitude is measured only where it can decide: polarAngle never exceeds kTwoPi, so a sweep
// of kTwoPi or more excludes no point with finite x and y.
struct SectionRoot {
    SphereAngles angles{0.0f, 0.0f};
    bool longitudeKnown = false;

    bool inside(const Vec3& p, float latitudeMin, float latitudeMax, bool checkSweep, float sweep) {
        angles.latitude = isect::latitudeOf(p.z);
        if (!insideLatitudes(angles.latitude, latitudeMin, latitudeMax)) return false;
        if (!checkSweep || (sweep >= kTwoPi && p.x - p.x == 0.0f && p.y - p.y == 0.0f)) return true;
        angles.longitude = polarAngle(p.x, p.y);
        longitudeKnown = true;
        return angles.longitude <= sweep;
    }
    // Both angles of the chosen root, p being the point inside() was given.
    const SphereAngles& complete(const Vec3& p) {
        if (!longitudeKnown) angles.longitude = polarAngle(p.x, p.y);
        return angles;
    }
};

// The root of a two-root section test: the nearer root when it passes and lies beyond the root
// epsilon, decided without testing the farther one; otherwise the rule of chooseNearerRoot. Needs
// t[0] <= t[1]. inside(k) tells whether root k passes the section's limits.
template <class Inside>
inline bool chooseSectionRoot(const float t[2], Inside inside, int& chosen) {
    const bool valid0 = inside(0);
    if (valid0 && t[0] > isect::kRootEpsilon) {
        chosen = 0;
        return true;
    }
    return isect::chooseNearerRoot(t[0], valid0, t[1], inside(1), chosen);
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
    if (s.sweep == 0.0f) {
        chosen = t[0] > isect::kRootEpsilon ? 0 : 1;
    } else {
        SectionRoot roots[2];
        const auto inside = [&](int k) {
            return roots[k].inside(isect::pointAlong(ol, t[k], dl), s.latitudeMin, s.latitudeMax, true, s.sweep);
        };
        if (!chooseSectionRoot(t, inside, chosen)) {
            out.distance = isect::kMiss;
            return;
        }
        const SphereAngles& angles = roots[chosen].complete(isect::pointAlong(ol, t[chosen], dl));
        out.distance = t[chosen];
        out.u = angles.latitude;
        out.v = angles.longitude;
        return;
    }
    const SphereAngles angles = sphereAnglesOf(isect::pointAlong(ol, t[chosen], dl));
    out.distance = t[chosen];
    out.u = angles.latitude;
    out.v = angles.longitude;
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
    SectionRoot roots[2];
    const auto inside = [&](int k) {
        return roots[k].inside(isect::pointAlong(ol, t[k], dl), e.latitudeMin, e.latitudeMax, e.sweep != 0.0f, e.sweep);
    };
    int chosen;
    if (!chooseSectionRoot(t, inside, chosen)) {
        out.distance = isect::kMiss;
        return;
    }
    const Vec3 p = isect::pointAlong(ol, t[chosen], dl);
    const SphereAngles& angles = roots[chosen].complete(p);
    out.distance = t[chosen];
    out.position = p;
    out.u = angles.latitude;
    out.v = angles.longitude;
}

}  // namespace lumo
