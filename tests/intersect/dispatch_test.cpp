#include <vector>

#include <gtest/gtest.h>

#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kPlusZ{0, 0, 1};

TEST(Mailbox, SecondTestBySameRayIsSkippedAndNearestIsUntouched) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    s.leafCount = 1;  // in one leaf: met once per ray, no mailbox entry
    CameraFrame single({0, 0, -5}, {&s});
    EXPECT_FLOAT_EQ(single.hit(s, kPlusZ).distance, 4.0f);
    EXPECT_EQ(single.mailbox[0], 0u);

    s.leafCount = 2;  // listed in two leaves
    CameraFrame frame({0, 0, -5}, {&s});
    EXPECT_FLOAT_EQ(frame.hit(s, kPlusZ).distance, 4.0f);
    EXPECT_EQ(frame.mailbox[0], frame.ray.rayId);
    PrimaryRay& ray = frame.ray;
    ray.nearest.distance = -1.0f;
    ray.candidate.distance = 123.0f;
    intersectPrimary(ray, s, frame.view());  // the same ray again, as from a second leaf
    EXPECT_EQ(ray.candidate.distance, -1.0f);
    EXPECT_EQ(ray.nearest.distance, -1.0f);
    EXPECT_FLOAT_EQ(frame.hit(s, kPlusZ).distance, 4.0f);  // the next ray tests it again
}

TEST(Mailbox, WorkersWithEqualRayIdsDoNotInterfere) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    s.leafCount = 2;
    CameraFrame first({0, 0, -5}, {&s});
    CameraFrame second({0, 0, -5}, {&s});  // another worker, whose rays carry the same ids
    EXPECT_FLOAT_EQ(first.hit(s, kPlusZ).distance, 4.0f);
    EXPECT_FLOAT_EQ(second.hit(s, kPlusZ).distance, 4.0f);
    ASSERT_EQ(first.ray.rayId, second.ray.rayId);
    intersectPrimary(first.ray, s, first.view());
    EXPECT_EQ(first.ray.candidate.distance, -1.0f);
    intersectPrimary(second.ray, s, second.view());
    EXPECT_EQ(second.ray.candidate.distance, -1.0f);
}

TEST(Dispatch, HiddenFromCameraIsSeenByOtherRays) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    s.flags = kHiddenFromCamera;
    CameraFrame frame({0, 0, -5}, {&s});
    EXPECT_EQ(frame.hit(s, kPlusZ).distance, -1.0f);
    EXPECT_EQ(frame.mailbox[0], 0u);  // rejected before the mailbox
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, -5}, kPlusZ).distance, 4.0f);
}

TEST(Dispatch, CodesWithoutARoutineNeverHit) {
    for (uint16_t type : {uint16_t{4}, uint16_t{11}, uint16_t{12}, uint16_t{0xFFFF}}) {
        SceneObject s = makeSphere({0, 0, 0}, 1.0f);  // a payload that would be hit as a sphere
        s.type = static_cast<ShapeType>(type);
        EXPECT_EQ(generalHit(s, {0, 0, -5}, kPlusZ).distance, -1.0f) << type;
        EXPECT_EQ(cameraHit(s, {0, 0, -5}, kPlusZ).distance, -1.0f) << type;
    }
}

TEST(Dispatch, UncachedShapesUseTheGeneralRoutineFromTheEye) {
    SceneObject torus;
    initTorus(torus);
    const Vec3 eye{-5, 0.1f, 0.2f};
    const Vec3 d = normalize({1, 0, -0.05f});
    const HitRecord general = generalHit(torus, eye, d);
    const HitRecord camera = cameraHit(torus, eye, d);
    ASSERT_GT(general.distance, 0.0f);
    EXPECT_EQ(camera.distance, general.distance);
    EXPECT_EQ(camera.u, general.u);
    EXPECT_EQ(camera.v, general.v);
}

// The eye-cached shapes, each with a ray from eye (0, 0, -5) that hits it along +z.
std::vector<SceneObject> cachedShapes() {
    std::vector<SceneObject> shapes;
    shapes.push_back(makePatch(kTriangle, {-1, -1, 0}, {3, 0, 0}, {0, 3, 0}));
    shapes.push_back(makePatch(kParallelogram, {-1, -1, 0}, {2, 0, 0}, {0, 2, 0}));
    shapes.push_back(makeSphere({0, 0, 1}, 1.0f));
    shapes.push_back(makeDisc({0, 0, 0}, {0, 0, -1}, 1.0f, 0.0f));
    SceneObject cyl;
    initRevolvedShape(cyl);
    setIdentity(cyl.revolved.worldToLocal);
    rotateX(cyl.revolved.worldToLocal, kPi / 2);  // axis along world y: the ray crosses the wall
    translateBy(cyl.revolved.worldToLocal, 0.0f, 0.5f, 0.5f);
    shapes.push_back(cyl);
    return shapes;
}

TEST(CameraCache, CameraFormReadsTheCacheNotTheEye) {
    for (SceneObject& s : cachedShapes()) {
        CameraFrame frame({0, 0, -5}, {&s});
        const float before = frame.hit(s, kPlusZ).distance;
        ASSERT_GT(before, 0.0f) << "type " << s.type;

        // The eye moves back by 1 without a refresh: the cache still answers for the old eye.
        frame.eye = {0, 0, -6};
        EXPECT_EQ(frame.hit(s, kPlusZ).distance, before) << "type " << s.type;

        // Refreshed for the new eye, the cache gives the new distance.
        refreshCameraCache(s, frame.eye, frame.caches[0]);
        EXPECT_NEAR(frame.hit(s, kPlusZ).distance, before + 1.0f, 1e-5) << "type " << s.type;
    }
}

}  // namespace
}  // namespace lumo::test
