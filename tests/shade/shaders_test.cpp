// Hit completion, texture coordinates and the shader modes on hand-made hits.
#include <gtest/gtest.h>

#include <cmath>

#include "shade/complete_hit.h"
#include "shade/lighting.h"
#include "shade/shader.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

const Vec3 kEye{0.0f, 0.0f, 10.0f};
const Vec3 kDown{0.0f, 0.0f, -1.0f};

// A hit on `o` at distance t along the ray from kEye straight down, at surface parameters (u, v).
HitRecord hitOn(SceneObject& o, float t, float u = 0.0f, float v = 0.0f, const Vec3& origin = kEye,
                const Vec3& direction = kDown) {
    HitRecord h{};
    h.object = &o;
    h.distance = t;
    h.position = add(origin, scale(t, direction));
    h.u = u;
    h.v = v;
    return h;
}

void expectColour(const Vec3& c, float r, float g, float b, float tol = 1e-6f) {
    EXPECT_NEAR(c.x, r, tol);
    EXPECT_NEAR(c.y, g, tol);
    EXPECT_NEAR(c.z, b, tol);
}

TEST(WrapUnit, FractionsWrapIntoTheUnitInterval) {
    EXPECT_FLOAT_EQ(wrapUnit(2.25f), 0.25f);
    EXPECT_FLOAT_EQ(wrapUnit(-0.25f), 0.75f);
    EXPECT_FLOAT_EQ(wrapUnit(-1.0f), 1.0f);
    EXPECT_FLOAT_EQ(wrapUnit(-1.75f), 0.25f);
    EXPECT_EQ(wrapUnit(0.0f), 0.0f);
    EXPECT_EQ(wrapUnit(3.0f), 0.0f);
}

class ShaderModes : public testing::Test {
protected:
    TraceScene b;
    TraceContext ctx = b.context();
    SceneObject& floor = b.parallelogram({-2.0f, -2.0f, 0.0f}, {4.0f, 0.0f, 0.0f}, {0.0f, 4.0f, 0.0f});

    void SetUp() override {
        KdNode& leaf = b.scene.newLeaf();
        b.scene.append(leaf, floor);
        b.scene.bounds = {{-2.0f, -2.0f, -0.001f}, {2.0f, 2.0f, 3.0f}};
        b.scene.setTree(leaf);
        b.scene.light.position = {0.0f, 0.0f, 5.0f};
    }
};

TEST_F(ShaderModes, DepthIsWhiteAt417AndBlackAt983) {
    expectColour(shadeDepth(ctx, kEye, kDown, hitOn(floor, 4.17f), &airMedium, 0), 1.0f, 1.0f, 1.0f, 1e-6f);
    expectColour(shadeDepth(ctx, kEye, kDown, hitOn(floor, 9.83f), &airMedium, 0), 0.0f, 0.0f, 0.0f, 1e-6f);
    EXPECT_GT(shadeDepth(ctx, kEye, kDown, hitOn(floor, 2.0f), &airMedium, 0).x, 1.0f);   // unclamped
    EXPECT_LT(shadeDepth(ctx, kEye, kDown, hitOn(floor, 12.0f), &airMedium, 0).x, 0.0f);
}

TEST_F(ShaderModes, NormalsUvAndReflection) {
    expectColour(shadeNormals(ctx, kEye, kDown, hitOn(floor, 10.0f), &airMedium, 0), 0.5f, 0.5f, 1.0f);
    expectColour(shadeUV(ctx, kEye, kDown, hitOn(floor, 10.0f, 1.25f, -0.25f), &airMedium, 0), 0.25f, 0.75f, 0.5f);
    // Light straight above the hit point: the mirrored light direction is the normal, mapped negated.
    expectColour(shadeReflection(ctx, kEye, kDown, hitOn(floor, 10.0f), &airMedium, 0), 0.5f, 0.5f, 0.0f);
}

TEST_F(ShaderModes, SimpleIsAmbientPlusLambert) {
    b.material->diffuse = {0.5f, 0.25f, 0.1f};
    // Light 5 above the origin: full Lambert at (0, 0, 0), cos = 5 / sqrt(29) at (0, 2, 0).
    expectColour(shadeSimple(ctx, kEye, kDown, hitOn(floor, 10.0f), &airMedium, 0), 1.4f * 0.5f, 1.4f * 0.25f,
                 1.4f * 0.1f, 1e-6f);
    const Vec3 origin{0.0f, 2.0f, 10.0f};
    const float lambert = 5.0f / std::sqrt(29.0f);
    expectColour(shadeSimple(ctx, origin, kDown, hitOn(floor, 10.0f, 0, 0, origin), &airMedium, 0),
                 (0.4f + lambert) * 0.5f, (0.4f + lambert) * 0.25f, (0.4f + lambert) * 0.1f, 1e-6f);
    b.params.photons.giDisplay = true;  // with the photon map shown: estimate times colour (no photons: black)
    expectColour(shadeSimple(ctx, kEye, kDown, hitOn(floor, 10.0f), &airMedium, 0), 0.0f, 0.0f, 0.0f);
}

TEST_F(ShaderModes, CheckerSquaresAlternateEveryHalfUnit) {
    floor.flags = kCheckered | kNoShadowTest;
    b.material->diffuse = {0.2f, 0.3f, 0.8f};
    const auto colourAt = [&](float x, float y) {
        const Vec3 origin{x, y, 10.0f};
        return shadePhong(ctx, origin, kDown, hitOn(floor, 10.0f, 0, 0, origin), &airMedium, 0);
    };
    // ceil(0.4) = 1 and ceil(0.4) = 1: even, the diffuse colour; ceil(1.4) = 2 against 1: odd, grey 0.8.
    const Vec3 even = colourAt(0.2f, 0.2f);
    const Vec3 odd = colourAt(0.7f, 0.2f);
    EXPECT_NEAR(even.x / even.z, 0.25f, 1e-5f);
    EXPECT_NEAR(odd.x / odd.z, 1.0f, 1e-5f);
    EXPECT_NEAR(colourAt(-0.3f, -0.3f).x / colourAt(-0.3f, -0.3f).z, 0.25f, 1e-5f);  // ceil(-0.6) = 0 twice
    floor.flags = kNoShadowTest;  // without the checker bit: the diffuse colour everywhere
    EXPECT_NEAR(colourAt(0.7f, 0.2f).x / colourAt(0.7f, 0.2f).z, 0.25f, 1e-5f);
}

TEST_F(ShaderModes, CompletionOfSpheresAndCylinders) {
    SceneObject ball;
    initSphere(ball);
    ball.sphere.centre = {0.0f, 0.0f, 1.0f};
    HitRecord h{};
    h.object = &ball;
    h.distance = 8.0f;
    completeHit(kEye, kDown, h);
    expectColour(h.position, 0.0f, 0.0f, 2.0f);
    expectColour(h.normal, 0.0f, 0.0f, 1.0f);

    ShapeTransform identity;
    setIdentity(identity.matrix);
    SceneObject cone;
    initRevolvedShape(cone);
    cone.revolved.taper = 1.0f;
    cone.revolved.normalTransform = &identity;
    h = {};
    h.object = &cone;
    h.distance = 2.0f;
    h.position = {-0.5f, 0.0f, 0.5f};  // local point on the cone
    h.u = 1.0f, h.v = 0.9f;              // what another shape's test left: the local point decides
    completeHit({-2.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, h);
    const float s = std::sqrt(0.5f);
    expectColour(h.normal, -s, 0.0f, s);
    expectColour(h.position, 0.0f, 0.0f, 0.0f);  // world point replaces the local one
    computeTextureCoords(h);  // sweep 0: the azimuth is divided by 2 pi
    EXPECT_FLOAT_EQ(h.texS, 0.5f);
    EXPECT_FLOAT_EQ(h.texT, 0.5f);
}

TEST_F(ShaderModes, TextureCoordinatesPerShape) {
    // Parallelogram with a corner table: bilinear with c1 at (1, 0), c2 at (0, 1), c3 at (1, 1).
    const TextureCorners corners{{0.0f, 2.0f, 0.0f, 2.0f}, {0.0f, 0.0f, 3.0f, 3.0f}};
    const SurfaceAttributes attributes{nullptr, &corners};
    floor.patch.attributes = &attributes;
    HitRecord h = hitOn(floor, 10.0f, 0.25f, 0.5f);
    computeTextureCoords(h);
    EXPECT_FLOAT_EQ(h.texS, 0.5f);
    EXPECT_FLOAT_EQ(h.texT, 1.5f);
    floor.patch.attributes = nullptr;

    // Sphere section: latitude normalised to the band, longitude to the sweep; (texS, texT) = (v, u).
    SceneObject band;
    initSphereSection(band);
    band.section.sweep = kPi;
    band.section.latitudeMin = 0.0f;
    band.section.latitudeMax = 1.0f;
    h = {};
    h.object = &band;
    h.u = 0.25f;
    h.v = kPi / 4.0f;
    computeTextureCoords(h);
    EXPECT_FLOAT_EQ(h.texS, 0.25f);
    EXPECT_FLOAT_EQ(h.texT, 0.25f);

    // Torus with a tube range starting below zero: angles past it wrap back by a full turn.
    SceneObject ring;
    initTorus(ring);
    ring.torus.sweep = kTwoPi;
    ring.torus.tubeStart = -1.0f;
    ring.torus.tubeEnd = 1.0f;
    h = {};
    h.object = &ring;
    h.u = kTwoPi - 0.5f;
    h.v = kPi;
    computeTextureCoords(h);
    EXPECT_FLOAT_EQ(h.texS, 0.5f);
    EXPECT_NEAR(h.texT, 0.25f, 1e-6f);
}

TEST_F(ShaderModes, TextureColourWrapsAndStaysInsideTheBitmap) {
    // 2 x 2 pixels, rows of 6 bytes padded to 8: red, green / blue, white.
    const uint8_t pixels[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    const Bitmap bitmap{2, 2, 24, pixels};
    b.material->texture = &bitmap;
    floor.flags = kNoShadowTest;
    const auto colourAt = [&](float u, float v) {
        const Vec3 c = shadePhong(ctx, kEye, kDown, hitOn(floor, 10.0f, u, v), &airMedium, 0);
        return Vec3{c.x / 1.4f, c.y / 1.4f, c.z / 1.4f};  // ambient 0.4 plus full Lambert
    };
    expectColour(colourAt(0.25f, 0.25f), 1.0f, 0.0f, 0.0f, 1e-5f);
    expectColour(colourAt(0.75f, 0.25f), 0.0f, 1.0f, 0.0f, 1e-5f);
    expectColour(colourAt(0.25f, 1.75f), 0.0f, 0.0f, 1.0f, 1e-5f);
    // wrapUnit(-1) is 1.0: the last row and column, not one past the end.
    expectColour(colourAt(-1.0f, -1.0f), 1.0f, 1.0f, 1.0f, 1e-5f);

    const Bitmap empty{2, 2, 24, nullptr};  // no pixels: the wrapped coordinates are the colour
    b.material->texture = &empty;
    expectColour(colourAt(1.25f, -0.25f), 0.25f, 0.75f, 0.5f, 1e-5f);
    b.material->texture = nullptr;
}

}  // namespace
}  // namespace lumo::test
