#include "shade/optics.h"

#include <algorithm>
#include <cmath>

namespace lumo {

float fresnelReflectance(float n1, float n2, float cosI) {
    const double a1 = n1;
    const double a2 = n2;
    if (std::fabs(a2 - a1) < 0.001) return 0.0f;
    const double c = std::fabs(static_cast<double>(cosI));
    // Rounding can push |cosI| of unit vectors just above 1; that is head-on incidence, not a NaN.
    if (safeAcos(c) < static_cast<double>(0.01f)) {
        const double r = (a1 - a2) / (a1 + a2);
        return static_cast<float>(r * r);
    }
    const double si = 1.0 - c * c;                   // sin^2 of incidence
    const double st = (a1 / a2) * (a1 / a2) * si;    // sin^2 of refraction
    if (st >= 1.0) return 1.0f;                      // total internal reflection
    const double p = si * st;
    const double a = si + st - 2.0 * p;
    const double h = 2.0 * std::sqrt((si - p) * (st - p));
    const double dm = a - h;  // sin^2(ti - tt)
    const double dp = a + h;  // sin^2(ti + tt)
    return static_cast<float>(dm * ((1.0 - dp) / (1.0 - dm) + 1.0) / (2.0 * dp));
}

Vec3 refractDirection(const Vec3& d, const Vec3& n, float n1, float n2) {
    const float eta = n1 / n2;
    const double cosIncidence = std::clamp(-dot(n, d), -1.0, 1.0);
    const double x = eta * std::sin(std::acos(cosIncidence));
    if (x > 1.0) return mirrorDirection(d, n);
    const double cosRefracted = std::cos(std::asin(x));
    return sub(scale(eta, d), scaleByDouble(eta * dot(d, n) + cosRefracted, n));
}

float spectralWeight(float r, float g, float b, float wavelength) {
    const float l = wavelength;
    if (l <= 380.0f) return 0.0f;
    if (l <= 410.0f) {
        const float k = (l - 380.0f) / 30.0f;
        return std::max(k * r, k * b);
    }
    if (l <= 470.0f) return std::max((470.0f - l) / 60.0f * r, b);
    if (l <= 500.0f) return std::max(b, (l - 470.0f) / 30.0f * g);
    if (l <= 530.5f) return std::max(g, (530.0f - l) / 30.0f * b);
    if (l <= 590.0f) return std::max(g, (l - 530.0f) / 60.0f * r);
    if (l <= 660.0f) return std::max(r, (660.0f - l) / 70.0f * g);
    if (l < 780.0f) return r * (780.0f - l) / 120.0f;
    return 0.0f;
}

SecondaryWeights secondaryWeights(const Material& m, const Material& medium, float cosI, float wavelength) {
    const float k = m.reflectivity;
    if (m.transmission < 0.0f) {  // dielectric: Fresnel split
        const bool entering = cosI < 0.0f;
        const float n1 = indexOfRefraction(entering ? medium : m, wavelength);
        const float n2 = indexOfRefraction(entering ? m : airMedium, wavelength);
        const float reflected = fresnelReflectance(n1, n2, cosI) * k;
        return {reflected, k - reflected};
    }
    if (m.kind == 1) return {0.0f, 0.0f};
    const float rho = m.diffuse.y < 0.0f ? m.diffuse.x : spectralWeight(m.diffuse, wavelength);
    return {rho * k, m.transmission};
}

TransmittedRay transmittedRay(const Vec3& d, const Vec3& n, float cosI, const Material& medium, const Material& m,
                              float wavelength) {
    const float n1 = indexOfRefraction(medium, wavelength);
    if (cosI < 0.0f) return {refractDirection(d, n, n1, indexOfRefraction(m, wavelength)), &m};
    const Vec3 t = refractDirection(d, negate(n), n1, indexOfRefraction(airMedium, wavelength));
    return {t, dot(t, n) < 0.0 ? &m : &airMedium};  // total internal reflection keeps it inside
}

Vec3 texelColour(const Bitmap& bitmap, int row, int column) {
    const int rowBytes = (bitmap.width * (bitmap.bitsPerPixel / 8) + 3) & ~3;
    const uint8_t* p = bitmap.pixels + static_cast<size_t>(row) * rowBytes + static_cast<size_t>(column) * 3;
    return {p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f};
}

float diffuseReflectance(const Material& m, float wavelength) {
    const float k = m.reflectivity;
    if (k > 0.99f || m.diffuse.x < 0.0f) return 0.0f;
    if (m.texture && m.texture->pixels)
        return spectralWeight(texelColour(*m.texture, 0, 0), wavelength) * (1.0f - k);
    if (m.diffuse.y >= 0.0f) return spectralWeight(m.diffuse, wavelength) * (1.0f - k);
    return (1.0f - k) * m.diffuse.x;
}

float diffuseReflectanceOf(const Material& m, const Vec3& colour, float wavelength) {
    const float k = m.reflectivity;
    if (k > 0.99f || m.diffuse.x < 0.0f) return 0.0f;
    return spectralWeight(colour, wavelength) * (1.0f - k);
}

}  // namespace lumo
