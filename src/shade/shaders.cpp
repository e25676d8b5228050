// The diagnostic shaders, the flat "Simple" shader and the trampoline for secondary rays.
#include <algorithm>
#include <iterator>

#include "shade/complete_hit.h"
#include "shade/lighting.h"
#include "shade/photon_estimate.h"
#include "shade/shader.h"
#include "shade/texture_sample.h"

namespace lumo {

Vec3 shadeDepth(const TraceContext&, const Vec3& origin, const Vec3& direction, HitRecord hit, const Material*, int) {
    completeHit(origin, direction, hit);
    const float d = static_cast<float>(pointDistance(hit.position, origin));
    const float g = 1.0f - (d - 4.17f) / 5.66f;  // white at 4.17, black at 9.83, unclamped
    return {g, g, g};
}

Vec3 shadeNormals(const TraceContext&, const Vec3& origin, const Vec3& direction, HitRecord hit, const Material*, int) {
    completeHit(origin, direction, hit);
    const Vec3& n = hit.normal;
    return {(n.x + 1.0f) * 0.5f, (n.y + 1.0f) * 0.5f, (n.z + 1.0f) * 0.5f};
}

Vec3 shadeReflection(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit, const Material*, int) {
    completeHit(origin, direction, hit);
    const Light* light = ctx.scene->firstLight();
    if (!light) return {0.0f, 0.0f, 0.0f};
    const Vec3& n = hit.normal;
    const Vec3 l = normalize(sub(light->position, hit.position));
    const Vec3 r = normalize(sub(scaleByDouble(2.0 * dot(n, l), n), l));
    return {(1.0f - r.x) * 0.5f, (1.0f - r.y) * 0.5f, (1.0f - r.z) * 0.5f};
}

Vec3 shadeUV(const TraceContext&, const Vec3& origin, const Vec3& direction, HitRecord hit, const Material*, int) {
    completeHit(origin, direction, hit);
    computeTextureCoords(hit);
    return {wrapUnit(hit.texS), wrapUnit(hit.texT), 0.5f};
}

Vec3 shadeSimple(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit, const Material*, int) {
    completeHit(origin, direction, hit);
    const Light* light = ctx.scene->firstLight();
    float diffuse = 0.0f;
    if (light) {
        const Vec3 l = normalize(sub(light->position, hit.position));
        diffuse = std::max(0.0f, static_cast<float>(dot(l, hit.normal)));
    }
    const PhotonParams& photons = ctx.params->photons;
    const Vec3 e = photonEstimate(ctx.scene->descriptor, photons, hit.object, hit.u, hit.v);
    const Material& m = *hit.object->material;
    // As stored, without the grey rule; a filtered texture or vertex colours as in the other shaders.
    const Vec3 c = hasVaryingColour(*hit.object, m) ? varyingColour(hit, m) : m.diffuse;
    if (photons.giDisplay) return mulComponents(e, c);
    return {(ambientLight.x + diffuse) * c.x + e.x, (ambientLight.y + diffuse) * c.y + e.y,
            (ambientLight.z + diffuse) * c.z + e.z};
}

ShaderFn shaderFunction(ShaderMode mode) {
    static constexpr ShaderFn kShaders[] = {shadeDepth, shadeNormals, shadeReflection, shadeUV, shadeSimple, shadePhong};
    static_assert(std::size(kShaders) == std::size(kShaderNames), "a shader for every mode");
    return kShaders[mode];
}

Vec3 shadeCameraRay(const TraceContext& ctx, const View& view, PrimaryRay& ray) {
    if (traceCameraRay(ctx, view, ray))
        return shaderFunction(ctx.params->shader)(ctx, view.camera.eyePosition, ray.direction, ray.nearest, &airMedium,
                                                  0);
    return {0.0f, 0.0f, 0.0f};
}

Vec3 shaderTrampoline(const TraceContext& ctx, const SceneObject*, const Material* medium, const Vec3& origin,
                      const Vec3& direction, HitRecord hit, float, int depth) {
    return shaderFunction(ctx.params->shader)(ctx, origin, direction, hit, medium, depth);
}

}  // namespace lumo
