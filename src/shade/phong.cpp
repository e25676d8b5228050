// The full lighting model: direct light with shadows and highlights, ambient and photon light,
// checker and texture colours, recursive mirror and glass rays.
#include <algorithm>
#include <cmath>

#include "shade/complete_hit.h"
#include "shade/lighting.h"
#include "shade/optics.h"
#include "shade/photon_estimate.h"
#include "shade/shader.h"
#include "shade/texture_sample.h"
#include "trace/trace.h"

namespace lumo {

namespace {

// Surface colour at the hit: texture, else the 0.5-unit checker, else the diffuse colour. A filtered
// texture or vertex colours multiply the diffuse colour instead.
inline Vec3 surfaceColour(HitRecord& hit, const Material& m) {
    if (m.texture) {
        if (m.sampling.filtered) return varyingColour(hit, m);
        computeTextureCoords(hit);
        const float s = wrapUnit(hit.texS);
        const float t = wrapUnit(hit.texT);
        const Bitmap& b = *m.texture;
        if (!b.pixels) return {s, t, 0.5f};
        // wrapUnit can return exactly 1.0; that is the last row or column, not one past it.
        const int row = std::min(static_cast<int>(t * static_cast<float>(b.height)), b.height - 1);
        const int column = std::min(static_cast<int>(s * static_cast<float>(b.width)), b.width - 1);
        return texelColour(b, row, column);
    }
    if (hit.object->flags & kCheckered) {
        const int cx = static_cast<int>(std::ceil(2.0f * hit.position.x));
        const int cy = static_cast<int>(std::ceil(2.0f * hit.position.y));
        if ((cx ^ cy) & 1) return {0.8f, 0.8f, 0.8f};
    }
    if (hit.object->flags & kVertexColours) return varyingColour(hit, m);
    return diffuseColour(m);
}

// One light's terms at the hit (p, n).
inline LightTerms lightTerms(const Vec3& lightPosition, const Vec3& p, const Vec3& n) {
    const Vec3 toLight = sub(lightPosition, p);
    const Vec3 l = normalize(toLight);
    return {l, static_cast<float>(length(toLight)), static_cast<float>(dot(l, n))};
}

// The highlight max(0, -(r . eyeward)) of a light with terms t, r = normalize(2c n - l).
inline float highlight(const LightTerms& t, const Vec3& n, const Vec3& eyeward) {
    const Vec3 r = normalize(sub(scale(2.0f * t.cosine, n), t.toLight));
    return std::max(0.0f, static_cast<float>(-dot(r, eyeward)));
}

// The shading of a completed hit. `given`: the first light's terms where computed ahead for a
// camera ray (null: computed here, as for every other light); `firstBlocked`: the first light's
// blocked fraction where the camera ray's shadow rays went ahead (null: cast here).
// Inlined into its two callers: in shadePhong both are null, so the shader of every other ray
// keeps its code free of their tests.
// The hit by reference: a copy of a record just written field by field would wait for those writes.
[[gnu::always_inline]] inline Vec3 shadeCompleted(const TraceContext& ctx, const Vec3& origin, const Vec3& direction,
                                                  HitRecord& hit, const Material* medium, int depth,
                                                  const FirstLightTerms* given, const float* firstBlocked) {
    const PhotonParams& cfg = ctx.params->photons;
    const Light* const lights = ctx.scene->firstLight();
    const SceneObject* object = hit.object;
    const Material& m = *object->material;
    const Vec3 p = hit.position;
    const Vec3 n = hit.normal;

    float ld = 0.0f;  // diffuse light
    float ls = 0.0f;  // highlight
    if (directLightShown(cfg)) {
        const Vec3 eyeward = given ? given->eyeward : normalize(sub(p, origin));
        const float exponent = m.phongExponent == 0.0f ? 30.0f : m.phongExponent;
        for (const Light* light = lights; light; light = light->next) {
            const bool first = light == lights;
            const LightTerms t = first && given ? given->light : lightTerms(light->position, p, n);
            float visible = 1.0f;
            if (!(object->flags & kNoShadowTest))
                visible = 1.0f - (first && firstBlocked
                                      ? *firstBlocked
                                      : shadowFactor(ctx, object, light->object, p, t.toLight, t.distance));
            if (visible == 0.0f) continue;
            if (depth == 0) {
                const float s = first && given ? given->highlight : highlight(t, n, eyeward);
                // pow(+0, y) is +0 for every y > 0: the call is needed only for a highlight.
                const double power = s == 0.0f && exponent > 0.0f ? 0.0 : std::pow(static_cast<double>(s), exponent);
                ls += visible * light->intensity * static_cast<float>(power);
            }
            if (t.cosine > 0.0f) ld += visible * light->intensity * t.cosine;
        }
    }

    Vec3 q = photonEstimate(ctx.scene->descriptor, cfg, object, hit.u, hit.v);
    if (cfg.causticsDisplay) q = scale(q.y, Vec3{0.2f, 0.9f, 0.8f});

    const Vec3 c = surfaceColour(hit, m);
    const float k = m.reflectivity;
    Vec3 colour;
    if (cfg.giDisplay) {
        if (cfg.giOnlyIndirect) {
            colour = {(0.5f * q.x + ld) * (1.0f - k) * c.x + ls * k, (0.5f * q.y + ld) * (1.0f - k) * c.y + ls * k,
                      (0.5f * q.z + ld) * (1.0f - k) * c.z + ls * k};
        } else {
            colour = scale(1.0f - k, mulComponents(q, c));
        }
        const Light* light = lights;
        if (light && light->object && object == light->object && light->area > 0.0f) {
            const float glow = static_cast<float>(cfg.giPhotonCount) / light->area;
            colour = add(colour, {glow, glow, glow});
        }
    } else {
        colour = {(ambientLight.x + ld + q.x) * (1.0f - k) * c.x + ls * k,
                  (ambientLight.y + ld + q.y) * (1.0f - k) * c.y + ls * k,
                  (ambientLight.z + ld + q.z) * (1.0f - k) * c.z + ls * k};
    }

    if (depth < maxRayDepth && k > minContribution) {
        const float cosI = static_cast<float>(dot(n, direction));
        const SecondaryWeights w = secondaryWeights(m, *medium, cosI, currentWavelength);
        if (w.reflected > minContribution) {
            const Vec3 traced = traceRay(ctx, object, &airMedium, p, mirrorDirection(direction, n), 1.0f,
                                         shaderTrampoline, depth + 1);
            colour = add(colour, scale(w.reflected, traced));
        }
        if (w.transmitted > minContribution) {
            const TransmittedRay t = transmittedRay(direction, n, cosI, *medium, m, currentWavelength);
            const Vec3 traced =
                traceRay(ctx, object, t.medium, p, t.direction, 1.0f, shaderTrampoline, depth + 1);
            colour = add(colour, scale(w.transmitted, traced));
        }
    }
    return colour;
}

}  // namespace

Vec3 shadePhong(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord hit,
                const Material* medium, int depth) {
    completeHit(origin, direction, hit);
    return shadeCompleted(ctx, origin, direction, hit, medium, depth, nullptr, nullptr);
}

Vec3 shadePhongWithTerms(const TraceContext& ctx, const Vec3& origin, const Vec3& direction, HitRecord& hit,
                         const FirstLightTerms& first, const float* firstBlocked) {
    return shadeCompleted(ctx, origin, direction, hit, &airMedium, 0, &first, firstBlocked);
}

}  // namespace lumo
