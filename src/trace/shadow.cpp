#include "trace/shadow.h"

#include <cmath>

namespace lumo {

float shadowRayOcclusion(const ShadowQuery& q, const Vec3& direction, float lightDistance) {
    const float maxDistance = 0.999f * lightDistance;
    if (!(maxDistance > 0.0f)) return 0.0f;  // nothing lies between the point and the light
    return occluded(q.ctx, Ray{q.x, direction, maxDistance}, q.excludeObject, q.lightObject) ? 1.0f : 0.0f;
}

float shadowRayOcclusion(const ShadowQuery& q, const Vec3& target) {
    const Vec3 d = sub(target, q.x);
    const float len = static_cast<float>(length(d));
    return shadowRayOcclusion(q, divScalar(d, len), len);
}

namespace {

float sampleLight(const ShadowQuery& q, float u, float v) {
    return shadowRayOcclusion(q, areaLightPoint(*q.lightObject, u, v));
}

}  // namespace

float areaShadow(const ShadowQuery& q, float uLow, float vLow, float s, float o0, float o1, float o2, float o3,
                 int depth) {
    const float h = s * 0.5f;
    const float mA = std::fabs(o1 - o0) > 0.1f ? sampleLight(q, uLow + h, vLow) : (o0 + o1) * 0.5f;
    const float mB = std::fabs(o2 - o3) > 0.1f ? sampleLight(q, uLow + h, vLow + s) : (o2 + o3) * 0.5f;
    const float mC = std::fabs(o2 - o1) > 0.1f ? sampleLight(q, uLow + s, vLow + h) : (o1 + o2) * 0.5f;
    const float mD = std::fabs(o3 - o0) > 0.1f ? sampleLight(q, uLow, vLow + h) : (o0 + o3) * 0.5f;
    const float mE = (std::fabs(mA - mB) > 0.1f || std::fabs(mC - mD) > 0.1f) ? sampleLight(q, uLow + h, vLow + h)
                                                                              : (mA + mB + mC + mD) * 0.25f;
    if (depth < 2) {
        return (areaShadow(q, uLow, vLow, h, o0, mA, mE, mD, depth + 1) +
                areaShadow(q, uLow + h, vLow, h, mA, o1, mC, mE, depth + 1) +
                areaShadow(q, uLow + h, vLow + h, h, mE, mC, o2, mB, depth + 1) +
                areaShadow(q, uLow, vLow + h, h, mD, mE, mB, o3, depth + 1)) *
               0.25f;
    }
    return (o0 + o1 + o2 + o3 + mA + mB + mC + mD + mE) / 9.0f;
}

float shadowFactor(const TraceContext& ctx, const SceneObject* excludeObject, const SceneObject* lightObject,
                   const Vec3& x, const Vec3& toLight, float lightDistance) {
    const ShadowQuery q{ctx, excludeObject, lightObject, x};
    if (isAreaLight(lightObject)) {
        Vec3 c[4];
        areaLightCorners(lightObject->patch, c);
        const float o0 = shadowRayOcclusion(q, c[0]);
        const float o1 = shadowRayOcclusion(q, c[1]);
        const float o2 = shadowRayOcclusion(q, c[2]);
        const float o3 = shadowRayOcclusion(q, c[3]);
        const float corners[4] = {o0, o1, o2, o3};
        if (const float uniform = uniformCorners(corners); uniform >= 0.0f) return uniform;
        return areaShadow(q, 0.0f, 0.0f, 1.0f, o0, o1, o2, o3, 0);
    }
    return shadowRayOcclusion(q, toLight, lightDistance);
}

}  // namespace lumo
