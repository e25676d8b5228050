// Flat shapes: triangle (0), parallelogram (1), disc or annulus (5), disc sector (10).
// Each has a general form (any origin) and, except the sector, a camera form that reads the
// frame's eye-plane distance from the view's eye cache instead of recomputing it per ray.
#pragma once

#include "core/matrix34.h"
#include "intersect/shape_math.h"

namespace lumo {

// Axis pairs (i, j) of the six solve cases chosen by prepareParallelogram; u divides by edgeA_i.
inline constexpr int kSolveAxisI[6] = {0, 1, 0, 1, 2, 2};
inline constexpr int kSolveAxisJ[6] = {1, 2, 2, 0, 1, 0};

inline void refreshPatchCache(const SceneObject& o, const Vec3& eye, EyeCache& cache) {
    cache.term = isect::dotf(sub(o.patch.origin, eye), o.patch.normal);
}

inline void refreshDiscCache(const SceneObject& o, const Vec3& eye, EyeCache& cache) {
    cache.term = isect::dotf(sub(o.disc.centre, eye), o.disc.normal);
}

// A nearest-hit walk passes the distance of its best hit so far as `limit` (negative: none yet). A
// plane met at or beyond it cannot win, so the test stops there and leaves that distance in the
// record, which the walk rejects as it would any hit so far away.
inline bool cannotBeNearer(float t, float limit) { return limit >= 0.0f && !(t < limit); }

// Shared tail of triangle and parallelogram: `planeDistance` is (origin - rayOrigin) . normal.
inline void intersectPatchAt(const SceneObject& o, float planeDistance, const Vec3& origin, const Vec3& direction,
                             HitRecord& out, float limit = -1.0f) {
    const PlanarPatch& p = o.patch;
    const float a = isect::dotf(direction, p.normal);
    if (a == 0.0f || ((o.flags & kOneSided) && a >= 0.0f)) {
        out.distance = isect::kMiss;
        return;
    }
    const float t = planeDistance / a;
    out.distance = t;
    if (!(t > 0.0f)) return;  // the caller rejects the non-positive distance left in the record
    if (cannotBeNearer(t, limit)) return;
    out.position = isect::pointAlong(origin, t, direction);

    const Vec3 d = sub(out.position, p.origin);
    const int i = kSolveAxisI[p.solveCase];
    const int j = kSolveAxisJ[p.solveCase];
    const float ai = isect::axisComponent(p.edgeA, i);
    const float di = isect::axisComponent(d, i);
    const float v = (isect::axisComponent(d, j) * ai - di * isect::axisComponent(p.edgeA, j)) * p.inverseDeterminant;
    if (v < 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    out.v = v;
    const float u = (di - v * isect::axisComponent(p.edgeB, i)) / ai;
    out.u = u;
    const bool outside = o.type == kTriangle ? (u < 0.0f || u + v > 1.0f) : (u < 0.0f || u > 1.0f || v > 1.0f);
    if (outside) out.distance = isect::kMiss;
}

inline void intersectPatch(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out,
                           float limit = -1.0f) {
    intersectPatchAt(o, isect::dotf(sub(o.patch.origin, origin), o.patch.normal), origin, direction, out, limit);
}

inline void intersectPatchCamera(const SceneObject& o, const EyeCache& cache, const Vec3& eye,
                                 const Vec3& direction, HitRecord& out, float limit = -1.0f) {
    intersectPatchAt(o, cache.term, eye, direction, out, limit);
}

inline void intersectDiscAt(const Disc& disc, float planeDistance, const Vec3& origin, const Vec3& direction,
                            HitRecord& out, float limit = -1.0f) {
    const float a = isect::dotf(direction, disc.normal);
    if (a == 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    const float t = planeDistance / a;
    if (t <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    out.distance = t;
    if (cannotBeNearer(t, limit)) return;
    out.position = isect::pointAlong(origin, t, direction);
    const float r2 = isect::lengthSquared(sub(out.position, disc.centre));
    if (r2 > disc.outerRadiusSquared || r2 < disc.innerRadiusSquared) out.distance = isect::kMiss;
}

inline void intersectDisc(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out,
                          float limit = -1.0f) {
    intersectDiscAt(o.disc, isect::dotf(sub(o.disc.centre, origin), o.disc.normal), origin, direction, out, limit);
}

inline void intersectDiscCamera(const SceneObject& o, const EyeCache& cache, const Vec3& eye,
                                const Vec3& direction, HitRecord& out, float limit = -1.0f) {
    intersectDiscAt(o.disc, cache.term, eye, direction, out, limit);
}

// u = squared distance from the centre, v = polar angle of the hit in the local frame.
inline void intersectDiscSector(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out,
                                float limit = -1.0f) {
    const DiscSector& s = o.sector;
    const float a = isect::dotf(direction, s.normal);
    if (a == 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    const float t = isect::dotf(sub(s.centre, origin), s.normal) / a;
    if (t <= 0.0f) {
        out.distance = isect::kMiss;
        return;
    }
    out.distance = t;
    if (cannotBeNearer(t, limit)) return;
    out.position = isect::pointAlong(origin, t, direction);
    const float r2 = isect::lengthSquared(sub(out.position, s.centre));
    out.u = r2;
    if (r2 > s.outerRadiusSquared || r2 < s.innerRadiusSquared) {
        out.distance = isect::kMiss;
        return;
    }
    const Vec3 local = transformPoint(out.position, s.worldToLocal);
    out.v = polarAngle(local.x, local.y);
    if (s.sweep != 0.0f && s.sweep < out.v) out.distance = isect::kMiss;
}

}  // namespace lumo
