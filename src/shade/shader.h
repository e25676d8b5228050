// Shader signature and the six shader modes.
#pragma once

#include "intersect/hit_record.h"
#include "scene/material.h"
#include "trace/trace.h"

namespace lumo {

// (origin, unit direction, hit by value, medium, depth) -> colour.
using ShaderFn = Vec3 (*)(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium,
                          int depth);

Vec3 shadeDepth(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);
Vec3 shadeNormals(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);
Vec3 shadeReflection(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);
Vec3 shadeUV(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);
Vec3 shadeSimple(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);
Vec3 shadePhong(const Vec3& origin, const Vec3& direction, HitRecord hit, const Material* medium, int depth);

// Hit callback for the shaders' own secondary rays: shades the hit with settings().currentShader.
Vec3 shaderTrampoline(const SceneObject* excludeObject, const Material* medium, const Vec3& origin,
                      const Vec3& direction, HitRecord hit, float power, int depth, PhotonBuffer* photonBuffer);

}  // namespace lumo
