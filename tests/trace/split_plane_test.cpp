// The walks against a loop over all objects where rays start on, run in and cross split planes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "scene/kd_build.h"
#include "simd/camera_packets.h"
#include "support/grid_scene.h"
#include "trace/traverse.h"

namespace lumo {
namespace {

using test::TraceScene;

// Every walk meets what the loop over all objects meets: the nearest distance for camera rays and
// other rays, and whether anything blocks a shadow ray. A flat shape answers 0 for a ray from a point
// of its plane, hit or not: the occlusion walk goes on past it, the nearest-hit walks take the first
// such answer as it comes (in leaf order), so rays whose nearest-hit walks answer 0 are left out of
// their comparisons.
TEST(SplitPlanes, WalksFindWhatALoopOverAllObjectsFinds) {
    std::mt19937 random(20);
    int onPlane = 0, hits = 0, blocked = 0, rays = 0, atOrigin = 0;
    for (int sceneNumber = 0; sceneNumber < 40; ++sceneNumber) {
        TraceScene t;
        test::buildGridScene(t, random);
        const Scene& s = t.scene;
        for (int r = 0; r < 150; ++r) {
            const Vec3 origin = test::gridOrigin(s, random, r);
            const Vec3 direction = test::gridDirection(random, r);
            const float reach = 3.0f * std::uniform_real_distribution<float>(0.1f, 1.0f)(random);
            for (const AccelNode& n : s.tree.nodes) onPlane += !n.isLeaf() && axisValue(origin, n.axis - 1) == n.split;
            float nearest = -1.0f, nearestCamera = -1.0f;
            bool any = false;
            t.placeEye(origin);
            for (const SceneObject& o : s.objects) {
                HitRecord h{};
                intersectGeneral(o, origin, direction, h);
                if (h.distance > 0.0f && (nearest < 0.0f || h.distance < nearest)) nearest = h.distance;
                HitRecord c{};
                intersectCameraForm(o, t.view.eyeCaches[o.index], origin, direction, c);
                if (c.distance > 0.0f && (nearestCamera < 0.0f || c.distance < nearestCamera)) nearestCamera = c.distance;
                HitRecord b{};
                intersectBlockerForm(o, origin, direction, b);
                any = any || (!(o.flags & kNoShadowCast) && b.distance > 0.0f && b.distance <= reach);
            }
            ++rays;
            const float walked = nearestHit(t.context(), origin, direction, nullptr).distance;
            t.traceAlong(direction);
            const float camera = t.ray.nearest.distance;
            const float blocker = traverseOcclusion(s, origin, direction, reach, nullptr, nullptr);
            EXPECT_EQ(blocker > 0.0f, any) << "shadow, scene " << sceneNumber << " ray " << r;
            blocked += any;
            if (walked == 0.0f || camera == 0.0f) {
                ++atOrigin;
                continue;
            }
            EXPECT_EQ(walked, nearest) << "scene " << sceneNumber << " ray " << r << " from " << origin.x << ", "
                                       << origin.y << ", " << origin.z << " along " << direction.x << ", "
                                       << direction.y << ", " << direction.z;
            EXPECT_EQ(camera, nearestCamera) << "camera, scene " << sceneNumber << " ray " << r;
            hits += nearest > 0.0f;
        }
    }
    EXPECT_GT(onPlane, rays / 3);
    EXPECT_LT(atOrigin, rays / 3);
    EXPECT_GT(hits, rays / 20);
    EXPECT_GT(blocked, rays / 40);
}

// Rays running in the split plane z = 0 of a hand-built tree: one wall below the plane touching it
// with its top edge, one above touching it with its bottom edge, each listed on its own side only.
// The walk goes first above (the ray runs in the plane), where it crosses x = 0.5 on the cell's
// bottom face; then below, which the ray touches all along.
TEST(SplitPlanes, RaysInASplitPlaneMeetWhatTouchesItFromEitherSide) {
    TraceScene t;
    SceneObject& wallBelow = t.parallelogram({-1.0f, -1.0f, -1.0f}, {0.0f, 2.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    SceneObject& wallAbove = t.parallelogram({1.0f, -1.0f, 0.0f}, {0.0f, 2.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    KdNode& above = t.scene.newSplit(1, 0.5f, t.leafOf({}), t.leafOf({&wallAbove}));
    KdNode& root = t.scene.newSplit(3, 0.0f, t.leafOf({&wallBelow}), above);
    t.finish({{-2.0f, -2.0f, -2.0f}, {2.0f, 2.0f, 2.0f}}, root, {-1.5f, 0.0f, 0.0f});
    const Vec3 along{1.0f, 0.0f, 0.0f};
    struct Case {
        Vec3 origin;
        float nearest;  // as a loop over both walls finds it
    };
    for (const Case& c : {Case{{-1.5f, 0.0f, 0.0f}, 0.5f}, Case{{0.0f, 0.0f, 0.0f}, 1.0f}}) {
        float looped = -1.0f;
        for (const SceneObject* o : {&wallBelow, &wallAbove}) {
            HitRecord h{};
            intersectGeneral(*o, c.origin, along, h);
            if (h.distance > 0.0f && (looped < 0.0f || h.distance < looped)) looped = h.distance;
        }
        ASSERT_EQ(looped, c.nearest) << c.origin.x;  // the walls' edges count as theirs
        EXPECT_EQ(nearestHit(t.context(), c.origin, along, nullptr).distance, c.nearest) << c.origin.x;
        t.placeEye(c.origin);
        t.traceAlong(along);
        EXPECT_EQ(t.ray.nearest.distance, c.nearest) << "camera, from " << c.origin.x;
        EXPECT_TRUE(occluded(t.context(), Ray{c.origin, along, c.nearest + 0.25f}, nullptr, nullptr)) << c.origin.x;
    }
}

// A mesh over a ground of two shadow-casting triangles at z = 0: shadow rays from ground points
// toward the light (each starting in the other triangle's plane) are blocked exactly where a loop over
// all objects says so.
TEST(SplitPlanes, MeshOverAGroundAtZeroKeepsItsWholeShadow) {
    TraceScene t;
    SceneObject& groundA = t.parallelogram({-3.0f, -3.0f, 0.0f}, {6.0f, 0.0f, 0.0f}, {0.0f, 6.0f, 0.0f});
    groundA.type = kTriangle;
    SceneObject& groundB = t.parallelogram({3.0f, 3.0f, 0.0f}, {-6.0f, 0.0f, 0.0f}, {0.0f, -6.0f, 0.0f});
    groundB.type = kTriangle;
    // A ring of triangles, about 1 above the ground (a coarse torus).
    const int around = 48, across = 12;
    auto point = [](int i, int j) {
        const float a = 6.2831853f * static_cast<float>(i) / around, b = 6.2831853f * static_cast<float>(j) / across;
        const float r = 1.0f + 0.3f * std::cos(b);
        return Vec3{r * std::cos(a), r * std::sin(a), 1.0f + 0.3f * std::sin(b)};
    };
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const Vec3 p = point(i, j), q = point(i + 1, j), u = point(i, j + 1), w = point(i + 1, j + 1);
            for (const auto& [o, a, b] : {std::tuple{p, q, u}, std::tuple{w, u, q}}) {
                SceneObject& tri = t.parallelogram(o, sub(a, o), sub(b, o));
                tri.type = kTriangle;
            }
        }
    buildKdTree(t.scene);
    t.placeEye({0.0f, -7.0f, 1.0f});
    bool splitsAtZero = false;
    for (const AccelNode& n : t.scene.tree.nodes) splitsAtZero = splitsAtZero || (n.axis == 3 && n.split == 0.0f);
    const Vec3 light{5.0f, -3.0f, 7.0f};
    int walked = 0, looped = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const Vec3 p{-3.0f + 0.05f * static_cast<float>(x), -3.0f + 0.05f * static_cast<float>(y), 0.0f};
            const Vec3 toLight = sub(light, p);
            const float distance = static_cast<float>(length(toLight));
            const Vec3 d = normalize(toLight);
            const SceneObject* ground = x + y < 120 ? &groundA : &groundB;
            walked += occluded(t.context(), Ray{p, d, 0.999f * distance}, ground, nullptr);
            looped += test::blockedByAny(t.scene, p, d, 0.999f * distance);
        }
    RecordProperty("walk", walked);
    RecordProperty("loop", looped);
    EXPECT_GT(looped, 500);
    EXPECT_EQ(walked, looped) << (splitsAtZero ? "the tree splits at z = 0" : "no split at z = 0");
}

}  // namespace
}  // namespace lumo
