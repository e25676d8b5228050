// What a photon does when it lands: the hit callbacks traceRay calls for caustic and GI photons.
// Both store into ctx.photons.
#pragma once

#include "trace/trace.h"

namespace lumo {

// Caustic photons follow mirror and glass paths up to this many bounces.
inline constexpr int kCausticMaxDepth = 3;
// A GI path ends after this many hits at the latest. With diffuse reflectance below 1 the survival
// probability falls geometrically (0.64^63 < 1e-12 in the Cornell Box), so the cap never shows; it
// only bounds a path on a surface that reflects everything.
inline constexpr int kGiMaxHits = 64;

// Stores the photon on a caustic receiver after at least one specular bounce, then continues it by
// mirror reflection and refraction with the glass weights. Returns black.
Vec3 causticPhotonHit(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium,
                      const Vec3& origin, const Vec3& direction, HitRecord hit, float power, int depth);

// Stores the photon (not its first hit with "Only Indirect"), then continues it by Russian roulette in
// a cosine-weighted direction. Returns black.
Vec3 giPhotonHit(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium,
                 const Vec3& origin, const Vec3& direction, HitRecord hit, float power, int depth);

}  // namespace lumo
