// SSE twins of the sphere tests (code 2). The camera form matches the portable one exactly; the
// general form reports a tangent ray (disc = 0) as a hit and takes the near root from 0.0001 on.
#pragma once

#if defined(__SSE__)

#include "intersect/sphere.h"
#include "simd/sse_ops.h"

namespace lumo {

// Near root only, unit direction, the same eye cache as the portable camera form.
inline void intersectSphereCameraSse(const EyeCache& cache, const Vec3& direction, HitRecord& out) {
    using namespace sse;
    const Scalar b = dot3(direction, cache.offset);
    const Scalar disc = sub(mul(b, b), load(cache.term));
    if (less(disc, load(kZero))) {
        out.distance = kMiss;
        return;
    }
    store(out.distance, sub(negate(b), sse::sqrt(disc)));
}

inline void intersectSphereSse(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out) {
    using namespace sse;
    const Vec3& c = o.sphere.centre;
    const Scalar ocx = sub(load(origin.x), load(c.x));
    const Scalar ocy = sub(load(origin.y), load(c.y));
    const Scalar ocz = sub(load(origin.z), load(c.z));
    const Scalar b = add(add(mul(ocx, load(direction.x)), mul(ocy, load(direction.y))), mul(ocz, load(direction.z)));
    const Scalar ocLengthSquared = add(add(mul(ocx, ocx), mul(ocy, ocy)), mul(ocz, ocz));
    const Scalar cTerm = sub(ocLengthSquared, load(o.sphere.radiusSquared));
    const Scalar disc = sub(mul(b, b), cTerm);
    if (less(disc, load(kZero))) {
        out.distance = kMiss;
        return;
    }
    const Scalar root = sse::sqrt(disc);
    const Scalar minusB = negate(b);
    const Scalar t1 = sub(minusB, root);
    store(out.distance, greaterEqual(t1, load(kRootEpsilon)) ? t1 : add(minusB, root));
}

}  // namespace lumo

#endif
