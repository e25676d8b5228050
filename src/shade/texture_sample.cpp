#include "shade/texture_sample.h"

#include <cmath>

#include "scene/mesh_store.h"
#include "shade/complete_hit.h"
#include "shade/optics.h"

namespace lumo {

int wrapTexel(int i, int n, TextureWrap wrap) {
    switch (wrap) {
        case TextureWrap::kRepeat: {
            const int r = i % n;
            return r < 0 ? r + n : r;
        }
        case TextureWrap::kMirroredRepeat: {
            int r = i % (2 * n);
            if (r < 0) r += 2 * n;
            return r < n ? r : 2 * n - 1 - r;
        }
        case TextureWrap::kClampToEdge: return i < 0 ? 0 : i >= n ? n - 1 : i;
    }
    return 0;
}

namespace {

// Texel coordinate x (in texels, centres at k + 0.5) as the lower texel index and the weight of the
// upper one. Coordinates that are not finite or too large to tell texels apart become 0.
void texelSpan(float x, int& lower, float& weight) {
    if (!(std::fabs(x) < 1e8f)) x = 0.0f;
    const float f = std::floor(x - 0.5f);
    lower = static_cast<int>(f);
    weight = x - 0.5f - f;
}

Vec3 mix(const Vec3& a, const Vec3& b, float w) { return add(a, scale(w, sub(b, a))); }

}  // namespace

Vec3 sampleFiltered(const Bitmap& b, const TextureSampling& how, float s, float t) {
    const float* m = how.transform;
    const float ts = m[0] * s + m[1] * t + m[2];
    const float tt = m[3] * s + m[4] * t + m[5];
    int i0, j0;
    float fs, ft;
    texelSpan(ts * static_cast<float>(b.width), i0, fs);
    texelSpan(tt * static_cast<float>(b.height), j0, ft);
    const int c0 = wrapTexel(i0, b.width, how.wrapS), c1 = wrapTexel(i0 + 1, b.width, how.wrapS);
    const int r0 = wrapTexel(j0, b.height, how.wrapT), r1 = wrapTexel(j0 + 1, b.height, how.wrapT);
    const Vec3 top = mix(texelColour(b, r0, c0), texelColour(b, r0, c1), fs);
    const Vec3 bottom = mix(texelColour(b, r1, c0), texelColour(b, r1, c1), fs);
    return mix(top, bottom, ft);
}

Vec3 varyingColour(HitRecord& hit, const Material& m) {
    Vec3 c = diffuseColour(m);
    if (m.texture && m.sampling.filtered && m.texture->pixels) {
        computeTextureCoords(hit);
        c = mulComponents(c, sampleFiltered(*m.texture, m.sampling, hit.texS, hit.texT));
    }
    const SceneObject& o = *hit.object;
    if (o.flags & kVertexColours) {
        const uint32_t* i = o.faces.store->triangle(hit.triangle);
        const Vec3* colours = o.faces.store->colours.data();
        const Vec3& a = colours[i[0]];
        const Vec3 v = add(a, add(scale(hit.u, sub(colours[i[1]], a)), scale(hit.v, sub(colours[i[2]], a))));
        c = mulComponents(c, v);
    }
    return c;
}

}  // namespace lumo
