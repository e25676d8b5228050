// Fresnel reflectance, refraction, the glass/mirror split, spectral weights and texels.
#include <gtest/gtest.h>

#include <cmath>

#include "shade/lighting.h"
#include "shade/optics.h"

namespace lumo {
namespace {

Material glass(float index, float reflectivity = 0.7f) {
    Material m;
    m.transmission = -1.0f;
    m.iorBase = index;
    m.reflectivity = reflectivity;
    return m;
}

// Textbook mean of the s- and p-polarised reflectances.
double referenceFresnel(double n1, double n2, double cosI) {
    const double sinT = n1 / n2 * std::sqrt(1.0 - cosI * cosI);
    const double cosT = std::sqrt(1.0 - sinT * sinT);
    const double rs = (n1 * cosI - n2 * cosT) / (n1 * cosI + n2 * cosT);
    const double rp = (n1 * cosT - n2 * cosI) / (n1 * cosT + n2 * cosI);
    return 0.5 * (rs * rs + rp * rp);
}

TEST(Fresnel, HeadOnGlassReflectsFourPercentEitherWay) {
    EXPECT_NEAR(fresnelReflectance(1.0f, 1.5f, -1.0f), 0.04f, 1e-7f);
    EXPECT_NEAR(fresnelReflectance(1.5f, 1.0f, 1.0f), 0.04f, 1e-7f);
    // Unit vectors whose dot product rounds just past 1 are still head-on, not NaN.
    EXPECT_NEAR(fresnelReflectance(1.0f, 1.5f, -1.0000001f), 0.04f, 1e-7f);
}

TEST(Fresnel, ObliqueAnglesMatchThePolarisedMean) {
    for (double degrees : {10.0, 30.0, 45.0, 60.0, 80.0}) {
        const double c = std::cos(degrees * M_PI / 180.0);
        EXPECT_NEAR(fresnelReflectance(1.0f, 1.5f, static_cast<float>(-c)), referenceFresnel(1.0, 1.5, c), 1e-5)
            << degrees;
    }
    const double inside = std::cos(40.0 * M_PI / 180.0);  // just below the critical angle of 41.8 degrees
    EXPECT_NEAR(fresnelReflectance(1.5f, 1.0f, static_cast<float>(inside)), referenceFresnel(1.5, 1.0, inside), 1e-4);
}

TEST(Fresnel, TotalInternalReflectionAndEqualIndices) {
    EXPECT_EQ(fresnelReflectance(1.5f, 1.0f, 0.5f), 1.0f);  // 60 degrees from inside glass
    EXPECT_EQ(fresnelReflectance(1.54f, 1.0f, 0.7f), 1.0f);
    EXPECT_EQ(fresnelReflectance(1.5f, 1.5f, 0.3f), 0.0f);
    EXPECT_EQ(fresnelReflectance(1.5f, 1.5009f, 0.3f), 0.0f);
    EXPECT_GT(fresnelReflectance(1.5f, 1.502f, 0.3f), 0.0f);
}

TEST(SecondaryWeights, GlassSplitsByFresnel) {
    const Material g = glass(1.5f);
    SecondaryWeights w = secondaryWeights(g, airMedium, -1.0f, currentWavelength);
    EXPECT_NEAR(w.reflected, 0.04f * 0.7f, 1e-6f);
    EXPECT_NEAR(w.transmitted, 0.96f * 0.7f, 1e-6f);

    w = secondaryWeights(g, g, 0.5f, currentWavelength);  // leaving beyond the critical angle
    EXPECT_FLOAT_EQ(w.reflected, 0.7f);
    EXPECT_EQ(w.transmitted, 0.0f);

    w = secondaryWeights(glass(1.0f), airMedium, -0.6f, currentWavelength);  // index matched to air
    EXPECT_EQ(w.reflected, 0.0f);
    EXPECT_FLOAT_EQ(w.transmitted, 0.7f);
}

TEST(SecondaryWeights, MirrorsUseTheSpectralWeightOfTheirColour) {
    Material metal;
    metal.diffuse = {0.9f, 0.8f, 0.2f};
    metal.reflectivity = 0.5f;
    SecondaryWeights w = secondaryWeights(metal, airMedium, -0.5f, currentWavelength);
    EXPECT_FLOAT_EQ(w.reflected, 0.4f);  // 0.5 * max(0.8, 25/60 * 0.9)
    EXPECT_EQ(w.transmitted, 0.0f);

    metal.diffuse = {0.5f, -1.0f, -1.0f};  // grey
    metal.transmission = 0.25f;
    w = secondaryWeights(metal, airMedium, -0.5f, currentWavelength);
    EXPECT_FLOAT_EQ(w.reflected, 0.25f);
    EXPECT_FLOAT_EQ(w.transmitted, 0.25f);

    metal.kind = 1;
    w = secondaryWeights(metal, airMedium, -0.5f, currentWavelength);
    EXPECT_EQ(w.reflected, 0.0f);
    EXPECT_EQ(w.transmitted, 0.0f);
}

TEST(Refraction, SnellsLawAndTotalInternalReflection) {
    const Vec3 n{0.0f, 0.0f, 1.0f};
    const Vec3 headOn = refractDirection({0.0f, 0.0f, -1.0f}, n, 1.0f, 1.5f);
    EXPECT_NEAR(headOn.x, 0.0f, 1e-6f);
    EXPECT_NEAR(headOn.z, -1.0f, 1e-6f);

    const Vec3 d{0.5f, 0.0f, -std::sqrt(0.75f)};  // 30 degrees from the normal
    const Vec3 t = refractDirection(d, n, 1.0f, 1.5f);
    EXPECT_NEAR(length(t), 1.0, 1e-5);
    EXPECT_NEAR(t.x, 0.5f / 1.5f, 1e-5f);  // sin of the refracted angle
    EXPECT_NEAR(t.y, 0.0f, 1e-6f);
    EXPECT_LT(t.z, 0.0f);

    const Vec3 inside{0.8f, 0.0f, 0.6f};  // from glass at 53 degrees: beyond critical, mirrored
    const Vec3 m = refractDirection(inside, {0.0f, 0.0f, -1.0f}, 1.5f, 1.0f);
    EXPECT_NEAR(m.x, 0.8f, 1e-6f);
    EXPECT_NEAR(m.z, -0.6f, 1e-6f);
}

TEST(Refraction, TransmittedRayMedium) {
    const Material g = glass(1.5f);
    const Vec3 n{0.0f, 0.0f, 1.0f};
    TransmittedRay r = transmittedRay({0.0f, 0.0f, -1.0f}, n, -1.0f, airMedium, g, currentWavelength);
    EXPECT_EQ(r.medium, &g);
    EXPECT_NEAR(r.direction.z, -1.0f, 1e-6f);

    r = transmittedRay({0.0f, 0.0f, 1.0f}, n, 1.0f, g, g, currentWavelength);  // leaving head-on
    EXPECT_EQ(r.medium, &airMedium);
    EXPECT_NEAR(r.direction.z, 1.0f, 1e-6f);

    r = transmittedRay({0.8f, 0.0f, 0.6f}, n, 0.6f, g, g, currentWavelength);  // trapped by total reflection
    EXPECT_EQ(r.medium, &g);
    EXPECT_LT(r.direction.z, 0.0f);
}

TEST(Spectral, BandsAndTheirEdges) {
    const float r = 0.9f, g = 0.5f, b = 0.3f;
    EXPECT_EQ(spectralWeight(r, g, b, 380.0f), 0.0f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 395.0f), 0.45f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 410.0f), 0.9f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 440.0f), 0.45f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 470.0f), 0.3f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 500.0f), 0.5f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 555.0f), std::max(g, 25.0f / 60.0f * r));
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 625.0f), 0.9f);
    EXPECT_FLOAT_EQ(spectralWeight(r, g, b, 720.0f), 0.45f);
    EXPECT_EQ(spectralWeight(r, g, b, 780.0f), 0.0f);
    EXPECT_EQ(spectralWeight(r, g, b, 800.0f), 0.0f);
    // 530.5 still belongs to the (500, 530.5] band, whose ramp is negative there: the weight is green.
    EXPECT_EQ(spectralWeight(0.9f, 0.0f, 0.3f, 530.5f), 0.0f);
    EXPECT_NEAR(spectralWeight(0.9f, 0.0f, 0.3f, 530.6f), 0.6f / 60.0f * 0.9f, 1e-6f);
    EXPECT_EQ(spectralWeight(0.9f, 0.25f, 0.3f, 530.5f), 0.25f);
}

TEST(Texture, TexelsOfPaddedRows) {
    // 3 x 2 pixels: rows of 9 bytes padded to 12; bytes are blue, green, red.
    uint8_t pixels[24] = {};
    pixels[0] = 51;   // row 0, column 0: blue
    pixels[2] = 255;  // red
    pixels[12 + 6 + 0] = 0;
    pixels[12 + 6 + 1] = 102;  // row 1, column 2: green
    pixels[12 + 6 + 2] = 204;
    const Bitmap bitmap{3, 2, 24, pixels};
    const Vec3 first = texelColour(bitmap, 0, 0);
    EXPECT_FLOAT_EQ(first.x, 1.0f);
    EXPECT_FLOAT_EQ(first.z, 0.2f);
    const Vec3 last = texelColour(bitmap, 1, 2);
    EXPECT_FLOAT_EQ(last.x, 0.8f);
    EXPECT_FLOAT_EQ(last.y, 0.4f);
    EXPECT_FLOAT_EQ(last.z, 0.0f);

    Material m;
    m.reflectivity = 0.5f;
    m.texture = &bitmap;
    // The first texel (1, 0, 0.2) weighs max(0, 25/60 * 1) at 555 nm.
    EXPECT_FLOAT_EQ(diffuseReflectance(m, 555.0f), 25.0f / 60.0f * 0.5f);
}

TEST(Texture, DiffuseReflectanceRules) {
    Material m;
    m.diffuse = {0.2f, 0.6f, 0.4f};
    m.reflectivity = 0.25f;
    EXPECT_FLOAT_EQ(diffuseReflectance(m, 555.0f), 0.6f * 0.75f);
    m.diffuse = {0.6f, -1.0f, 0.0f};
    EXPECT_FLOAT_EQ(diffuseReflectance(m, 555.0f), 0.6f * 0.75f);
    m.reflectivity = 0.995f;
    EXPECT_EQ(diffuseReflectance(m, 555.0f), 0.0f);
    m.reflectivity = 0.0f;
    m.diffuse = {-0.5f, 0.5f, 0.5f};
    EXPECT_EQ(diffuseReflectance(m, 555.0f), 0.0f);
}

}  // namespace
}  // namespace lumo
