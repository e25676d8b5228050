// Material response shared by the shaders and the photon hit callbacks: refraction index, Fresnel
// reflectance, refracted direction, spectral weight of a colour, diffuse reflectance, texels.
#pragma once

#include "core/vec3.h"
#include "scene/material.h"

namespace lumo {

// n(lambda) = iorBase + iorCoeff / (lambda - iorPole); a negative iorCoeff means the constant iorBase.
inline float indexOfRefraction(const Material& m, float wavelength) {
    return m.iorCoeff < 0.0f ? m.iorBase : m.iorBase + m.iorCoeff / (wavelength - m.iorPole);
}

// Unpolarised reflectance for light going from index n1 into n2 at incidence cosine cosI (either sign).
float fresnelReflectance(float n1, float n2, float cosI);

// Refracted direction of unit d at a surface with unit normal n facing against d; the mirror
// direction on total internal reflection.
Vec3 refractDirection(const Vec3& d, const Vec3& n, float n1, float n2);

// Weight of an RGB colour at a wavelength in nanometres (piecewise linear bands, 0 outside 380..780).
float spectralWeight(float r, float g, float b, float wavelength);
inline float spectralWeight(const Vec3& c, float wavelength) { return spectralWeight(c.x, c.y, c.z, wavelength); }

// Probability that a photon of this wavelength is reflected diffusely by the material.
float diffuseReflectance(const Material& m, float wavelength);
// The same for a surface point whose colour is `colour` (a filtered texture or vertex colours).
float diffuseReflectanceOf(const Material& m, const Vec3& colour, float wavelength);

// Texel (row, column) of a 24-bit bitmap with pixels, as (red, green, blue) / 255. Rows are
// blue-green-red bytes padded to a multiple of four bytes.
Vec3 texelColour(const Bitmap& bitmap, int row, int column);

// How a surface of material m splits a ray arriving through `medium` at incidence cosine cosI = N.D
// (negative when entering from the side the normal faces): mirror and transmitted shares.
struct SecondaryWeights {
    float reflected;
    float transmitted;
};
SecondaryWeights secondaryWeights(const Material& m, const Material& medium, float cosI, float wavelength);

// The transmitted ray: its direction and the medium it travels in.
struct TransmittedRay {
    Vec3 direction;
    const Material* medium;
};
TransmittedRay transmittedRay(const Vec3& d, const Vec3& n, float cosI, const Material& medium, const Material& m,
                              float wavelength);

// Mirror direction of d about the unit normal n.
inline Vec3 mirrorDirection(const Vec3& d, const Vec3& n) { return normalize(sub(d, scaleByDouble(2.0 * dot(n, d), n))); }

// The material's colour with the grey rule applied: a negative green means (red, red, red).
inline Vec3 diffuseColour(const Material& m) {
    return m.diffuse.y < 0.0f ? Vec3{m.diffuse.x, m.diffuse.x, m.diffuse.x} : m.diffuse;
}

}  // namespace lumo
