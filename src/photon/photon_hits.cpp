#include "photon/photon_hits.h"

#include "core/render_params.h"
#include "photon/photon_store.h"
#include "shade/complete_hit.h"
#include "shade/lighting.h"
#include "shade/optics.h"
#include "shade/texture_sample.h"

namespace lumo {

namespace {
constexpr Vec3 kBlack{0.0f, 0.0f, 0.0f};
}

Vec3 causticPhotonHit(const TraceContext& ctx, const SceneObject*, const Material* medium, const Vec3& origin,
                      const Vec3& direction, HitRecord hit, float power, int depth) {
    PhotonBuffer* photonBuffer = ctx.photons;
    completeHit(origin, direction, hit);
    const SceneObject* object = hit.object;
    const Material& m = *object->material;
    const float lambda = photonBuffer->wavelength;
    if (depth > 0 && (object->flags & kCheckered)) storePhoton(*photonBuffer, hit, power, lambda);

    const float k = m.reflectivity;
    if (depth >= kCausticMaxDepth || !(k > minContribution)) return kBlack;
    const Vec3& n = hit.normal;
    const float cosI = static_cast<float>(dot(n, direction));
    float wR = 0.0f;
    float wT = 0.0f;
    if (m.transmission < 0.0f) {
        const float n1 = cosI < 0.0f ? indexOfRefraction(*medium, lambda) : indexOfRefraction(m, lambda);
        const float n2 = cosI < 0.0f ? indexOfRefraction(m, lambda) : indexOfRefraction(airMedium, lambda);
        wR = fresnelReflectance(n1, n2, cosI) * k;
        wT = k - wR;
    } else if (m.kind != 1) {
        const float rho = m.diffuse.y < 0.0f ? m.diffuse.x : spectralWeight(m.diffuse.x, m.diffuse.y, m.diffuse.z, lambda);
        wR = rho * k;
        wT = m.transmission;
    }

    const Vec3& p = hit.position;
    if (power * wR > minContribution) {
        const Vec3 r = normalize(sub(direction, scale(static_cast<float>(2.0 * dot(n, direction)), n)));
        traceRay(ctx, object, &airMedium, p, r, power * wR, causticPhotonHit, depth + 1);
    }
    if (power * wT > minContribution) {
        if (cosI < 0.0f) {
            const Vec3 t = refractDirection(direction, n, indexOfRefraction(*medium, lambda), indexOfRefraction(m, lambda));
            traceRay(ctx, object, &m, p, t, power * wT, causticPhotonHit, depth + 1);
        } else {
            const Vec3 t = refractDirection(direction, negate(n), indexOfRefraction(*medium, lambda),
                                            indexOfRefraction(airMedium, lambda));
            const Material* next = dot(t, n) < 0.0 ? &m : &airMedium;
            traceRay(ctx, object, next, p, t, power * wT, causticPhotonHit, depth + 1);
        }
    }
    return kBlack;
}

Vec3 giPhotonHit(const TraceContext& ctx, const SceneObject*, const Material* medium, const Vec3& origin,
                 const Vec3& direction, HitRecord hit, float power, int depth) {
    PhotonBuffer* photonBuffer = ctx.photons;
    completeHit(origin, direction, hit);
    const float lambda = photonBuffer->wavelength;
    if (depth > 0 || !ctx.params->photons.giOnlyIndirect) storePhoton(*photonBuffer, hit, power, lambda);

    Random& rng = *photonBuffer->rng;
    const double xi = rng.next();
    const Material& m = *hit.object->material;
    const double q = hasVaryingColour(*hit.object, m) ? diffuseReflectanceOf(m, varyingColour(hit, m), lambda)
                                                      : diffuseReflectance(m, lambda);
    if (q > xi && depth + 1 < kGiMaxHits) {
        const Vec3 d = cosineDirection(rng, hit.normal);
        traceRay(ctx, hit.object, medium, hit.position, d, power, giPhotonHit, depth + 1);
    }
    return kBlack;
}

}  // namespace lumo
