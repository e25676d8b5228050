// Shader signature, the six shader modes and the shading of camera rays.
#pragma once

#include "core/render_params.h"
#include "intersect/hit_record.h"
#include "scene/material.h"
#include "trace/trace.h"

namespace lumo {

// (context, origin, unit direction, hit by value, medium, depth) -> colour.
using ShaderFn = Vec3 (*)(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                          const Material* medium, int depth);

Vec3 shadeDepth(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                const Material* medium, int depth);
Vec3 shadeNormals(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                  const Material* medium, int depth);
Vec3 shadeReflection(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                     const Material* medium, int depth);
Vec3 shadeUV(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
             const Material* medium, int depth);
Vec3 shadeSimple(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                 const Material* medium, int depth);
Vec3 shadePhong(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                const Material* medium, int depth);

// Phong's terms of one light at a hit: the unit direction to the light, its distance and the
// cosine l . n.
struct LightTerms {
    Vec3 toLight;
    float distance;
    float cosine;
};

// Phong's terms of the first light at a camera ray's hit, as shadePhong computes them, computed
// ahead for several hits at once: the unit direction from the eye to the hit, the light's terms and
// the highlight max(0, -(r . eyeward)).
struct FirstLightTerms {
    Vec3 eyeward;
    LightTerms light;
    float highlight;
};
// shadePhong of a camera ray's hit that completeHit has completed already, with the first light's
// terms given, and its blocked fraction (see shadowFactor) where `firstBlocked` is not null (else
// the shader casts the shadow rays). The same colour as shadePhong; the record is the shader's to
// change.
Vec3 shadePhongWithTerms(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord& hit,
                         const FirstLightTerms& first, const float* firstBlocked);

// The shader of a mode.
ShaderFn shaderFunction(ShaderMode mode);

// Camera ray from the view's eye along ray.direction, shaded by the frame's shader; black when
// nothing is hit.
Vec3 shadeCameraRay(const TraceContext& ctx, const View& view, PrimaryRay& ray);

// Hit callback for the shaders' own secondary rays: shades the hit with the frame's shader.
Vec3 shaderTrampoline(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium,
                      const Vec3& origin, const Vec3& direction, HitRecord hit, float power, int depth);

}  // namespace lumo
