// The automatic tree: it finds the same nearest hits as testing every object, its object boxes hold
// the shapes, odd inputs build, and demo scenes on a built tree render their pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "intersect/intersect.h"
#include "scene/kd_build.h"
#include "support/render_support.h"
#include "support/shape_maker.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {


// The nearest hit of every object tested in turn, as the walks accept hits.
HitRecord bruteNearest(const Scene& s, const Vec3& origin, const Vec3& direction, const CameraEye* eye = nullptr) {
    HitRecord nearest{}, hit{};
    nearest.distance = -1.0f;
    for (const SceneObject& o : s.objects) {
        if (eye)
            intersectCamera(o, eye->caches[o.index], origin, direction, hit);
        else
            intersectGeneral(o, origin, direction, hit);
        if (hit.distance >= 0.0f && (nearest.distance < 0.0f || hit.distance < nearest.distance)) {
            nearest = hit;
            nearest.object = const_cast<SceneObject*>(&o);
        }
    }
    return nearest;
}

// Random rays from inside and around the scene, half of them aimed at an object: the tree's nearest
// hit (general and camera form) and its occlusion answer agree with testing every object.
void expectSameHits(TraceScene& t, Shapes& g, int rays) {
    int hits = 0;
    for (int i = 0; i < rays; ++i) {
        const Box& b = t.scene.bounds;  // odd rays start inside it, as shadow rays do
        const Vec3 inside{g.uniform(b.min.x, b.max.x), g.uniform(b.min.y, b.max.y), g.uniform(b.min.z, b.max.z)};
        const Vec3 origin = i % 2 ? inside : g.point(4.0f);
        Box box{};
        objectBounds(t.scene.objects[static_cast<size_t>(i) % t.scene.objects.size()], box);
        const Vec3 aim = scale(0.5f, add(box.min, box.max));
        const Vec3 d = i % 4 < 2 ? g.direction() : normalize(sub(add(aim, g.point(0.1f)), origin));
        const HitRecord want = bruteNearest(t.scene, origin, d);
        const HitRecord got = nearestHit(t.context(), origin, d, nullptr);
        ASSERT_EQ(got.distance < 0.0f, want.distance < 0.0f) << "ray " << i;
        if (want.distance >= 0.0f) {
            ++hits;
            EXPECT_TRUE(got.object == want.object || got.distance == want.distance) << "ray " << i;
            EXPECT_EQ(got.distance, want.distance) << "ray " << i;
        }
        if (i % 2) {
            const float reach = g.uniform(0.0f, 3.0f);
            const bool blocked = want.distance > 0.0f && want.distance <= reach;
            EXPECT_EQ(occluded(t.context(), Ray{origin, d, reach}, nullptr, nullptr), blocked) << "ray " << i;
        }
        if (i % 16 == 0) t.placeEye(origin);
        t.ray.direction = d;
        traceCameraRay(t.context(), t.view, t.ray);
        const CameraEye eye = t.view.cameraEye();
        const HitRecord camera = bruteNearest(t.scene, eye.eye, d, &eye);
        ASSERT_EQ(t.ray.nearest.distance < 0.0f, camera.distance < 0.0f) << "camera ray " << i;
        if (camera.distance < 0.0f) continue;
        EXPECT_TRUE(t.ray.nearest.object == camera.object || t.ray.nearest.distance == camera.distance);
        EXPECT_EQ(t.ray.nearest.distance, camera.distance) << "camera ray " << i;
    }
    EXPECT_GT(hits, rays / 4);
}

TEST(KdBuild, NearestHitsMatchEveryObjectTestedOnMixedScenes) {
    KdBuildStats first;
    for (int threads : {1, 2}) {
        TraceScene t;
        Shapes g;
        g.addMixed(t.scene, 1000, 1.2f);
        const KdBuildStats stats = buildKdTree(t.scene, threads);
        EXPECT_GT(stats.leaves, 100u);
        EXPECT_GT(stats.references, 1000u);  // some objects lie in several leaves: camera rays use the mailbox
        EXPECT_EQ(stats.skipped, 0u);
        size_t listed = 0;
        for (const SceneObject& o : t.scene.objects) listed += o.leafCount;
        EXPECT_EQ(listed, stats.references);
        if (threads == 1) first = stats;  // the same tree on any thread count
        EXPECT_EQ(stats.innerNodes, first.innerNodes);
        EXPECT_EQ(stats.references, first.references);
        t.placeEye({0, -5, 0});
        expectSameHits(t, g, 3000);
    }
}

TEST(KdBuild, ObjectBoxesHoldEveryHitPointOfEachShapeKind) {
    Shapes g;
    Scene s;
    for (ShapeType kind : kKinds) {
        for (int n = 0; n < 20; ++n) {
            const SceneObject& o = g.add(s, kind, g.point(1.0f));
            Box box;
            ASSERT_TRUE(objectBounds(o, box)) << "kind " << kind;
            const Vec3 mid = scale(0.5f, add(box.min, box.max));
            for (int i = 0; i < 300; ++i) {
                const Vec3 origin = add(mid, scale(3.0f, g.direction()));
                const Vec3 target = add(mid, mulComponents(g.point(0.5f), sub(box.max, box.min)));
                HitRecord hit{};
                intersectGeneral(o, origin, normalize(sub(target, origin)), hit);
                if (!(hit.distance > 0.0f)) continue;
                const Vec3 p = add(origin, scale(hit.distance, normalize(sub(target, origin))));
                for (int a = 0; a < 3; ++a) {
                    EXPECT_GE(axisValue(p, a), axisValue(box.min, a) - 1e-5f) << "kind " << kind;
                    EXPECT_LE(axisValue(p, a), axisValue(box.max, a) + 1e-5f) << "kind " << kind;
                }
            }
        }
    }
}

TEST(KdBuild, OddScenesBuildAndStillFindTheirHits) {
    {  // nothing at all, and a free object only
        TraceScene t;
        SceneObject& lamp = t.sphere({0, 0, 0}, 0.1f);
        t.scene.freeObject = &lamp;
        const KdBuildStats stats = buildKdTree(t.scene);
        EXPECT_EQ(stats.leaves, 1u);
        EXPECT_EQ(stats.references, 0u);
        EXPECT_EQ(lamp.leafCount, 0u);
        EXPECT_GT(nearestHit(t.context(), {0, -3, 0}, {0, 1, 0}, nullptr).distance, 0.0f);
        EXPECT_LT(nearestHit(t.context(), {0, -3, 0}, {1, 0, 0}, nullptr).distance, 0.0f);
    }
    {  // a few hundred copies of one triangle, flat shapes in one plane, and an object without bounds
        TraceScene t;
        Shapes g;
        for (int i = 0; i < 300; ++i) t.parallelogram({0.1f, 0.1f, 0.3f}, {0.2f, 0, 0}, {0, 0.2f, 0});
        for (int i = 0; i < 1000; ++i) {
            const Vec3 at{g.uniform(-1, 1), g.uniform(-1, 1), 0.0f};
            if (i % 2) {
                t.parallelogram(at, {g.uniform(-0.2f, 0.2f), g.uniform(-0.2f, 0.2f), 0}, {g.uniform(-0.2f, 0.2f), 0.05f, 0})
                    .type = kTriangle;
                continue;
            }
            SceneObject& disc = t.scene.newObject();
            initDisc(disc);
            disc.disc = {at, {0, 0, 1}, g.uniform(0.002f, 0.02f), 0.0f};
        }
        t.sphere({0, 0, 0}, std::nanf(""));
        const KdBuildStats stats = buildKdTree(t.scene, 2);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_LT(stats.references, 20000u);
        EXPECT_LE(stats.depth, 48);
        t.placeEye({0, -5, 2});
        expectSameHits(t, g, 2000);
    }
}

// Demo scenes posed at a time, with their hand-built tree and with a built one, render the same.
TEST(KdBuild, DemoScenesOnABuiltTreeRenderTheirPictures) {
    for (int id = 1; id <= kSceneCount; ++id) {
        TestRender hand(id), built(id);
        const FrameBuffer want = hand.frame(96, 72, 1500.0);
        animateScene(*built.scene, 1500.0);  // the pose the frame below shows
        buildKdTree(*built.scene, 2);
        const FrameBuffer got = built.frame(96, 72, 1500.0);
        int same = 0;
        for (int y = 0; y < 72; ++y)
            for (int x = 1; x <= 96; ++x) same += want.at(y, x) == got.at(y, x);
        EXPECT_GE(same, 96 * 72 * 999 / 1000) << "scene " << id;
    }
}

}  // namespace
}  // namespace lumo::test
