// The lighting model: shadows, highlights, secondary rays and the photon-display combinations.
#include <gtest/gtest.h>

#include "shade/complete_hit.h"
#include "shade/lighting.h"
#include "shade/shader.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

const Vec3 kEye{0.0f, 0.0f, 10.0f};
const Vec3 kDown{0.0f, 0.0f, -1.0f};

class Phong : public testing::Test {
protected:
    TraceScene b;
    TraceContext ctx = b.context();
    SceneObject& floor = b.parallelogram({-2.0f, -2.0f, 0.0f}, {4.0f, 0.0f, 0.0f}, {0.0f, 4.0f, 0.0f});
    KdNode& leaf = b.scene.newLeaf();
    Material& m = *b.material;

    void SetUp() override {
        b.scene.append(leaf, floor);
        m.diffuse = {0.5f, 0.25f, 0.1f};
        m.phongExponent = 20.0f;
        b.scene.bounds = {{-2.0f, -2.0f, -0.001f}, {2.0f, 2.0f, 3.0f}};
        b.scene.setTree(leaf);
        b.scene.light.position = {0.0f, 0.0f, 5.0f};
    }

    HitRecord floorHit() {
        HitRecord h{};
        h.object = &floor;
        h.distance = 10.0f;
        h.position = {0.0f, 0.0f, 0.0f};
        return h;
    }
    // Colour at the origin seen from straight above, and the rays the shading cast.
    Vec3 shade(int depth = 0, uint64_t* rays = nullptr) {
        const uint64_t before = b.stats.rays;
        const Vec3 c = shadePhong(ctx, kEye, kDown, floorHit(), &airMedium, depth);
        if (rays) *rays = b.stats.rays - before;
        return c;
    }
    void addBlocker() {
        SceneObject& ball = b.scene.newObject();
        initSphere(ball);
        ball.sphere.centre = {0.0f, 0.0f, 2.5f};
        ball.sphere.radiusSquared = 0.25f;
        ball.material = &m;
        b.scene.append(leaf, ball);
        b.scene.setTree(leaf);
    }
};

TEST_F(Phong, DiffuseSurfaceHasNoHighlightAndNoSecondaryRays) {
    floor.flags = kNoShadowTest;
    uint64_t rays = 0;
    const Vec3 c = shade(0, &rays);
    EXPECT_EQ(rays, 0u);
    EXPECT_FLOAT_EQ(c.x, 1.4f * 0.5f);  // (ambient 0.4 + Lambert 1) * colour
    EXPECT_FLOAT_EQ(c.y, 1.4f * 0.25f);
    EXPECT_FLOAT_EQ(c.z, 1.4f * 0.1f);
}

TEST_F(Phong, ShadowsAndTheNeverShadowedFlag) {
    addBlocker();
    uint64_t rays = 0;
    const Vec3 shadowed = shade(0, &rays);
    EXPECT_EQ(rays, 1u);  // one shadow ray to the point light
    EXPECT_FLOAT_EQ(shadowed.x, 0.4f * 0.5f);
    floor.flags = kNoShadowTest;
    EXPECT_FLOAT_EQ(shade().x, 1.4f * 0.5f);
}

TEST_F(Phong, HighlightOnlyOnCameraRaysAndWeightedByReflectivity) {
    floor.flags = kNoShadowTest;
    m.reflectivity = 0.5f;
    m.kind = 1;  // no secondary rays: only the highlight differs between depths
    const Vec3 camera = shade(0);
    const Vec3 secondary = shade(1);
    // Eye and light straight above: the mirrored light meets the eye, s = 1, Ls = 1, weighted by 0.5.
    EXPECT_FLOAT_EQ(camera.x - secondary.x, 0.5f);
    EXPECT_FLOAT_EQ(secondary.x, 1.4f * 0.5f * 0.5f);
}

TEST_F(Phong, MirrorRecursionStopsAtDepthThree) {
    floor.flags = kNoShadowTest;
    m.reflectivity = 0.5f;
    m.diffuse = {0.9f, 0.8f, 0.2f};  // mirror weight 0.5 * 0.8
    uint64_t rays = 0;
    shade(0, &rays);
    EXPECT_EQ(rays, 1u);
    shade(2, &rays);
    EXPECT_EQ(rays, 1u);
    shade(3, &rays);
    EXPECT_EQ(rays, 0u);
    m.reflectivity = 0.01f;  // at the minimum contribution: nothing traced
    shade(0, &rays);
    EXPECT_EQ(rays, 0u);
}

TEST_F(Phong, GlassSpawnsReflectedAndRefractedRays) {
    floor.flags = kNoShadowTest;
    m.transmission = -1.0f;
    m.iorBase = 1.5f;
    m.reflectivity = 0.7f;
    uint64_t rays = 0;
    shade(0, &rays);
    EXPECT_EQ(rays, 2u);
}

TEST_F(Phong, PhotonDisplayCombinations) {
    floor.flags = kNoShadowTest;
    m.reflectivity = 0.2f;
    m.kind = 1;
    PhotonParams& photons = b.params.photons;
    photons.giDisplay = true;
    photons.giOnlyIndirect = true;  // direct light kept, ambient replaced by the (black) estimate
    EXPECT_FLOAT_EQ(shade(1).x, 1.0f * 0.8f * 0.5f);
    photons.giOnlyIndirect = false;  // everything from the photon map: black without photons
    EXPECT_FLOAT_EQ(shade(1).x, 0.0f);
    Light& light = b.scene.light;
    light.object = &floor;  // the light's own surface shows bright
    light.area = 4.0f;
    EXPECT_FLOAT_EQ(shade(1).x, static_cast<float>(photons.giPhotonCount) / 4.0f);
}

}  // namespace
}  // namespace lumo::test
