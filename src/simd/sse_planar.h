// SSE twins of the triangle and parallelogram tests (codes 0 and 1), camera and general forms.
// Same formulas in the same order as the portable routines, with the tuned boundary rules:
// a plane parameter t < 0 is a miss while t = 0 goes on to the edge tests, and the far edges
// (u + v = 1 of a triangle, u = 1 or v = 1 of a parallelogram) are outside.
#pragma once

#if defined(__SSE__)

#include "intersect/planar.h"
#include "simd/sse_ops.h"

namespace lumo {

namespace sse {

// Shared tail of both forms: `planeDistance` is (corner - rayOrigin) . normal.
inline void intersectPatchAt(const SceneObject& o, Scalar planeDistance, const Vec3& origin, const Vec3& direction,
                             HitRecord& out) {
    const PlanarPatch& p = o.patch;
    const Scalar zero = load(kZero);
    const Scalar a = dot3(direction, p.normal);
    if (equal(a, zero) || ((o.flags & kOneSided) && greaterEqual(a, zero))) {
        out.distance = kMiss;
        return;
    }
    const Scalar t = div(planeDistance, a);
    if (less(t, zero)) {
        out.distance = kMiss;
        return;
    }
    store(out.position.x, add(load(origin.x), mul(t, load(direction.x))));
    store(out.position.y, add(load(origin.y), mul(t, load(direction.y))));
    store(out.position.z, add(load(origin.z), mul(t, load(direction.z))));

    const int i = kSolveAxisI[p.solveCase];
    const int j = kSolveAxisJ[p.solveCase];
    const Scalar ai = load(isect::axisComponent(p.edgeA, i));
    const Scalar di = sub(load(isect::axisComponent(out.position, i)), load(isect::axisComponent(p.origin, i)));
    const Scalar dj = sub(load(isect::axisComponent(out.position, j)), load(isect::axisComponent(p.origin, j)));
    const Scalar v = mul(sub(mul(dj, ai), mul(di, load(isect::axisComponent(p.edgeA, j)))), load(p.inverseDeterminant));
    if (less(v, zero)) {
        out.distance = kMiss;
        return;
    }
    store(out.v, v);
    const Scalar u = div(sub(di, mul(v, load(isect::axisComponent(p.edgeB, i)))), ai);
    store(out.u, u);
    const Scalar one = load(kOne);
    const bool outside = o.type == kTriangle
                             ? (less(u, zero) || greaterEqual(add(u, v), one))
                             : (less(u, zero) || greaterEqual(u, one) || greaterEqual(v, one));
    if (outside) {
        out.distance = kMiss;
        return;
    }
    store(out.distance, t);
}

}  // namespace sse

inline void intersectPatchSse(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    using namespace sse;
    const Scalar planeDistance = add(add(mul(sub(load(o.patch.origin.x), load(origin.x)), load(o.patch.normal.x)),
                                         mul(sub(load(o.patch.origin.y), load(origin.y)), load(o.patch.normal.y))),
                                     mul(sub(load(o.patch.origin.z), load(origin.z)), load(o.patch.normal.z)));
    sse::intersectPatchAt(o, planeDistance, origin, direction, out);
}

// Reads the same eye-plane distance cache as the portable camera form.
inline void intersectPatchCameraSse(const SceneObject& o, const EyeCache& cache, const Vec3& eye,
                                    const Vec3& direction, HitRecord& out) {
    sse::intersectPatchAt(o, sse::load(cache.term), eye, direction, out);
}

}  // namespace lumo

#endif
