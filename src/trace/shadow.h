// Shadow queries towards point lights and parallelogram area lights.
#pragma once

#include "trace/trace.h"

namespace lumo {

// What every shadow ray of one query shares: the context, the surface it leaves and the light.
struct ShadowQuery {
    const TraceContext& ctx;
    const SceneObject* excludeObject;  // the shaded surface
    const SceneObject* lightObject;    // the light's own geometry, never a blocker (may be null)
    Vec3 x;                            // the shaded point
};

// 1 when something blocks the ray from q.x along the unit `direction` before 0.999 * lightDistance, else 0.
float shadowRayOcclusion(const ShadowQuery& q, const Vec3& direction, float lightDistance);
// The same towards a point `target`.
float shadowRayOcclusion(const ShadowQuery& q, const Vec3& target);

// Blocked fraction of the square [uLow, uLow+s] x [vLow, vLow+s] of the parallelogram light q.lightObject,
// given the occlusions at its corners (uLow,vLow), (uLow+s,vLow), (uLow+s,vLow+s), (uLow,vLow+s).
// Rays are cast only where neighbouring values differ by more than 0.1; recursion stops at depth 2.
float areaShadow(const ShadowQuery& q, float uLow, float vLow, float s, float o0, float o1, float o2, float o3,
                 int depth);

// The point (u, v) of a parallelogram light: origin + u edgeA + v edgeB.
inline Vec3 areaLightPoint(const SceneObject& light, float u, float v) {
    const PlanarPatch& p = light.patch;
    return add(p.origin, add(scale(u, p.edgeA), scale(v, p.edgeB)));
}

// A ray areaShadow casts toward the light point (u, v) from the point of lane `lane`; the caster
// fills `occlusion` (1 blocked, 0 free).
struct AreaSample {
    int lane;
    float u, v;
    float occlusion;
};

// Most lanes a level-by-level subdivision takes at once.
inline constexpr int kMaxAreaLanes = 16;

// areaShadow(q_k, 0, 0, 1, corners[k][0..3], 0) of the lanes k set in `lanes` (k < kMaxAreaLanes)
// into blocked[k]: the same values, with the rays of every lane gathered level by level (the edge
// midpoints of all squares of a level, then their centres) and cast by one call of
// cast(AreaSample* samples, int count) each.
template <class Cast>
void areaShadowsByLevel(unsigned lanes, const float (*corners)[4], float* blocked, Cast&& cast);

}  // namespace lumo

#include "trace/shadow_levels.h"
