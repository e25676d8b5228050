#include <vector>

#include <gtest/gtest.h>

#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kPlusZ{0, 0, 1};

PrimaryRay rayAlong(Vec3 direction, uint32_t rayId, int slot = 0) {
    PrimaryRay ray;
    ray.direction = direction;
    ray.rayId = rayId;
    ray.slot = slot;
    ray.candidate = HitRecord{};
    ray.candidate.distance = 123.0f;
    ray.nearest = HitRecord{};
    ray.nearest.distance = -1.0f;
    return ray;
}

float primaryDistance(PrimaryRay& ray, SceneObject& o) {
    ray.candidate.distance = 123.0f;
    intersectPrimary(ray, o);
    return ray.candidate.distance;
}

TEST(Mailbox, SecondTestBySameRayIsSkippedAndNearestIsUntouched) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    beginFrame(s, {0, 0, -5});
    PrimaryRay ray = rayAlong(kPlusZ, 1);
    EXPECT_FLOAT_EQ(primaryDistance(ray, s), 4.0f);
    EXPECT_EQ(s.mailboxRayId[0], 1u);
    EXPECT_EQ(primaryDistance(ray, s), -1.0f);
    EXPECT_EQ(ray.nearest.distance, -1.0f);
    ray.rayId = 2;
    EXPECT_FLOAT_EQ(primaryDistance(ray, s), 4.0f);
}

TEST(Mailbox, SlotsDoNotInterfere) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    beginFrame(s, {0, 0, -5});
    PrimaryRay first = rayAlong(kPlusZ, 7, 0);
    PrimaryRay second = rayAlong(kPlusZ, 7, 1);  // another worker with an equal id
    EXPECT_FLOAT_EQ(primaryDistance(first, s), 4.0f);
    EXPECT_FLOAT_EQ(primaryDistance(second, s), 4.0f);
    EXPECT_EQ(primaryDistance(first, s), -1.0f);
    EXPECT_EQ(primaryDistance(second, s), -1.0f);
    EXPECT_EQ(s.mailboxRayId[2], 0u);
    EXPECT_EQ(s.mailboxRayId[3], 0u);
}

TEST(Mailbox, NewObjectIsNeverSkippedAfterTheFrameIsPrepared) {
    // A new object carries 43 in every slot; the frame preparation clears it, so every ray id from 1
    // on tests it, 43 included.
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    ASSERT_EQ(s.mailboxRayId[0], 43u);
    beginFrame(s, {0, 0, -5});
    for (uint32_t id = 1; id <= 100; ++id) {
        PrimaryRay ray = rayAlong(kPlusZ, id);
        ASSERT_FLOAT_EQ(primaryDistance(ray, s), 4.0f) << "ray id " << id;
    }
}

TEST(Dispatch, HiddenFromCameraIsSeenByOtherRays) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    s.flags = kHiddenFromCamera;
    beginFrame(s, {0, 0, -5});
    PrimaryRay ray = rayAlong(kPlusZ, 1);
    EXPECT_EQ(primaryDistance(ray, s), -1.0f);
    EXPECT_EQ(s.mailboxRayId[0], 0u);  // rejected before the mailbox
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, -5}, kPlusZ).distance, 4.0f);
}

TEST(Dispatch, CodesWithoutARoutineNeverHit) {
    for (uint16_t type : {uint16_t{4}, uint16_t{11}, uint16_t{12}, uint16_t{0xFFFF}}) {
        SceneObject s = makeSphere({0, 0, 0}, 1.0f);  // a payload that would be hit as a sphere
        s.type = type;
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

TEST(CameraCache, RecomputedWhenTheFrameStampChangesNotPerRay) {
    for (SceneObject& s : cachedShapes()) {
        beginFrame(s, {0, 0, -5});
        PrimaryRay ray = rayAlong(kPlusZ, 1);
        const float before = primaryDistance(ray, s);
        ASSERT_GT(before, 0.0f) << "type " << s.type;
        EXPECT_EQ(s.primaryStamp, world().frameStamp);

        // The eye moves back by 1 within the same frame: the cache still answers for the old eye.
        camera().eyePosition = {0, 0, -6};
        ray.rayId = 2;
        EXPECT_EQ(primaryDistance(ray, s), before) << "type " << s.type;

        // Next frame: the first ray recomputes the cache for the new eye and stamps it.
        ++world().frameStamp;
        ray.rayId = 3;
        EXPECT_NEAR(primaryDistance(ray, s), before + 1.0f, 1e-5) << "type " << s.type;
        EXPECT_EQ(s.primaryStamp, world().frameStamp);
    }
}

TEST(CameraCache, RefreshCoversANewObjectWhoseStampEqualsTheFrame) {
    // A new object's stamp (42) can equal the frame stamp; refreshing before the frame makes its
    // zero-initialised cache valid for the current eye.
    world().frameStamp = 42;
    camera().eyePosition = {0, 0, -5};
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    ASSERT_EQ(s.primaryStamp, 42);
    refreshCameraCache(s);
    for (MailboxEntry& entry : s.mailboxRayId) entry = 0;
    PrimaryRay ray = rayAlong(kPlusZ, 1);
    EXPECT_FLOAT_EQ(primaryDistance(ray, s), 4.0f);
    EXPECT_FLOAT_EQ(s.sphere.eyeTerm, 24.0f);
}

TEST(CameraCache, RefreshStampsShapesWithoutACache) {
    SceneObject torus;
    initTorus(torus);
    world().frameStamp = 9;
    refreshCameraCache(torus);
    EXPECT_EQ(torus.primaryStamp, 9);
}

}  // namespace
}  // namespace lumo::test
