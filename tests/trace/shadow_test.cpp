// Shadow rays towards point lights and the adaptive sampling of parallelogram lights.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "trace/shadow.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

const Vec3 kOrigin{0.0f, 0.0f, 0.0f};
const Vec3 kUp{0.0f, 0.0f, 1.0f};

// Blocked fraction of a point light 4 units above the origin.
float pointLightShadow(TraceScene& b, const SceneObject* exclude = nullptr, const SceneObject* lightObject = nullptr,
                       Vec3 x = kOrigin) {
    return shadowFactor(b.context(), exclude, lightObject, x, kUp, 4.0f - x.z);
}

void installLeaf(TraceScene& b, std::initializer_list<SceneObject*> objects) {
    b.finish(kUnitBox, b.leafOf(objects), {0.0f, -7.0f, 1.0f});
}

TEST(ShadowRay, BlockerBetweenPointAndLight) {
    TraceScene b;
    SceneObject& ball = b.sphere({0.0f, 0.0f, 2.0f}, 0.25f);
    installLeaf(b, {&ball});
    EXPECT_EQ(pointLightShadow(b), 1.0f);
    ball.flags = kNoShadowCast;
    EXPECT_EQ(pointLightShadow(b), 0.0f);
    // A point light beside the blocker is lit.
    EXPECT_EQ(shadowFactor(b.context(), nullptr, nullptr, kOrigin, normalize({1.0f, 0.0f, 1.0f}), 2.0f), 0.0f);
}

TEST(ShadowRay, HitsBeyondNearlyTheWholeDistanceDoNotCount) {
    // Spheres just below the light at z = 4: the first hit at z = 3.9981 lies beyond 0.999 * 4 = 3.996,
    // the second at z = 3.99 before it.
    TraceScene b;
    SceneObject& grazing = b.sphere({0.0f, 0.0f, 4.1f}, 0.1019f * 0.1019f);
    SceneObject& blocking = b.sphere({0.0f, 0.0f, 4.1f}, 0.11f * 0.11f);
    installLeaf(b, {&grazing, &blocking});
    blocking.flags = kNoShadowCast;
    EXPECT_EQ(pointLightShadow(b), 0.0f);
    blocking.flags = 0;
    EXPECT_EQ(pointLightShadow(b), 1.0f);
}

TEST(ShadowRay, LightGeometryNeverBlocksItsOwnLight) {
    TraceScene b;
    SceneObject& panel = b.parallelogram({-1.0f, -1.0f, 2.0f}, {2.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f});
    installLeaf(b, {&panel});
    EXPECT_EQ(pointLightShadow(b, nullptr, &panel), 0.0f);
    EXPECT_EQ(pointLightShadow(b, nullptr, nullptr), 1.0f);
}

TEST(ShadowRay, SelfHitsOnTheShadedSurfaceAreIgnored) {
    TraceScene b;
    SceneObject& floor = b.parallelogram({-1.0f, -1.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f});
    installLeaf(b, {&floor});
    EXPECT_EQ(pointLightShadow(b, &floor, nullptr, {0.0f, 0.0f, -0.00005f}), 0.0f);
    EXPECT_EQ(pointLightShadow(b, nullptr, nullptr, {0.0f, 0.0f, -0.00005f}), 1.0f);
    EXPECT_EQ(pointLightShadow(b, &floor, nullptr, {0.0f, 0.0f, -0.0002f}), 1.0f);
}

struct AreaLightScene {
    TraceScene b;
    // A 1 x 1 light two units above the origin; u runs along x.
    SceneObject& light = b.parallelogram({-0.5f, -0.5f, 2.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    // A screen at z = 1 whose straight edge at x = -0.1 hides the light points with u < 0.3.
    SceneObject& screen = b.parallelogram({-3.0f, -3.0f, 1.0f}, {2.9f, 0.0f, 0.0f}, {0.0f, 6.0f, 0.0f});

    AreaLightScene() { installLeaf(b, {&light, &screen}); }
    float shadow() { return shadowFactor(b.context(), nullptr, &light, kOrigin, kUp, 2.0f); }
    uint64_t raysCastBy(const std::function<void()>& f) {
        const uint64_t before = b.stats.rays;
        f();
        return b.stats.rays - before;
    }
};

TEST(AreaShadow, UniformLightCostsFourCornerRays) {
    AreaLightScene s;
    s.screen.flags = kNoShadowCast;
    float f = -1.0f;
    EXPECT_EQ(s.raysCastBy([&] { f = s.shadow(); }), 4u);
    EXPECT_EQ(f, 0.0f);

    s.screen.flags = 0;
    s.screen.patch.edgeA = {6.0f, 0.0f, 0.0f};  // now it hides the whole light
    prepareParallelogram(s.screen);
    EXPECT_EQ(s.raysCastBy([&] { f = s.shadow(); }), 4u);
    EXPECT_EQ(f, 1.0f);
}

TEST(AreaShadow, HalfHiddenLightGivesNinthsOfSixteenSquares) {
    AreaLightScene s;
    float f = -1.0f;
    const uint64_t rays = s.raysCastBy([&] { f = s.shadow(); });
    EXPECT_GT(rays, 4u);
    EXPECT_GT(f, 0.0f);
    EXPECT_LT(f, 1.0f);
    const float steps = f * 144.0f;  // each of 16 squares contributes k / 9
    EXPECT_NEAR(steps, std::round(steps), 1e-3f);
    // The hidden strip u < 0.3 on the quarter grid: the four squares of column u < 0.25 are fully hidden
    // (9/9 each), the four of the next column have 3 of their 9 values hidden: (4*9 + 4*3) / 144 = 1/3.
    EXPECT_FLOAT_EQ(f, 1.0f / 3.0f);
    // Mirrored: the hidden share becomes the lit share.
    s.screen.patch.origin = {-0.1f, -3.0f, 1.0f};
    const float g = s.shadow();
    EXPECT_NEAR(g * 144.0f, std::round(g * 144.0f), 1e-3f);
    EXPECT_FLOAT_EQ(g, 2.0f / 3.0f);
}

// Points under the screen's edge and beside it, at several heights, gathered level by level: the values
// and the ray count of one subdivision per point.
TEST(AreaShadow, LevelByLevelGivesWhatTheRecursionGives) {
    AreaLightScene s;
    s.screen.patch.edgeB = {1.2f, 6.0f, 0.0f};  // a slanted edge: penumbrae of every shape
    prepareParallelogram(s.screen);
    const TraceContext ctx = s.b.context();
    for (float height : {-1.5f, 0.0f, 0.6f}) {
        Vec3 points[kMaxAreaLanes];
        float corners[kMaxAreaLanes][4], recursive[kMaxAreaLanes], levels[kMaxAreaLanes];
        Vec3 c[4];
        areaLightCorners(s.light.patch, c);
        uint64_t recursiveRays = 0;
        for (int k = 0; k < kMaxAreaLanes; ++k) {
            points[k] = {-0.9f + 0.12f * static_cast<float>(k), 0.3f * static_cast<float>(k % 3) - 0.3f, height};
            const ShadowQuery q{ctx, nullptr, &s.light, points[k]};
            for (int i = 0; i < 4; ++i) corners[k][i] = shadowRayOcclusion(q, c[i]);
            recursiveRays += s.raysCastBy([&] {
                recursive[k] = shadowFactor(ctx, nullptr, &s.light, points[k], kUp, 2.0f);
            }) - 4;
        }
        const uint64_t levelRays = s.raysCastBy([&] {
            areaShadowsByLevel(0xFFFFu, corners, levels, [&](AreaSample* samples, int count) {
                for (int i = 0; i < count; ++i) {
                    const ShadowQuery q{ctx, nullptr, &s.light, points[samples[i].lane]};
                    samples[i].occlusion = shadowRayOcclusion(q, areaLightPoint(s.light, samples[i].u, samples[i].v));
                }
            });
        });
        int partial = 0;
        for (int k = 0; k < kMaxAreaLanes; ++k) {
            EXPECT_EQ(levels[k], recursive[k]) << "point " << k << " at height " << height;
            partial += recursive[k] > 0.0f && recursive[k] < 1.0f;
        }
        EXPECT_EQ(levelRays, recursiveRays);
        EXPECT_GT(partial, 2) << "the points must lie in the penumbra";
    }
}

}  // namespace
}  // namespace lumo::test
