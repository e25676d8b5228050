// Camera and general tree walks: mailboxes, early exit, far-child entry, the scene box.
#include <gtest/gtest.h>

#include <cmath>

#include "intersect/intersect.h"
#include "trace/box_entry.h"
#include "trace/test_scene.h"

namespace lumo::test {
namespace {

// A wall in the plane x = x0 facing -x, covering y, z in [-1, 1].
SceneObject& wallAtX(SceneBuilder& b, float x0) {
    return b.parallelogram({x0, -1.0f, -1.0f}, {0.0f, 0.0f, 2.0f}, {0.0f, 2.0f, 0.0f});
}

KdNode& splitX(SceneBuilder& b, float at, KdNode& below, KdNode& above) { return b.scene.newSplit(1, at, below, above); }

Vec3 hitRecorded;
const SceneObject* callbackObject;
int callbackCalls;
Vec3 recordingCallback(const SceneObject*, const Material*, const Vec3& origin, const Vec3& direction, HitRecord hit,
                       float, int, PhotonBuffer*) {
    ++callbackCalls;
    callbackObject = hit.object;
    hitRecorded = add(origin, scale(hit.distance, direction));
    return {1.0f, 0.0f, 0.0f};
}

Vec3 generalRay(const Vec3& origin, const Vec3& direction, const SceneObject* exclude = nullptr) {
    callbackCalls = 0;
    callbackObject = nullptr;
    return traceRay(nullptr, exclude, &airMedium, origin, direction, 1.0f, recordingCallback, 0);
}

using Walk = TraceTest;

TEST_F(Walk, ObjectInTwoLeavesIsTestedOncePerCameraRay) {
    SceneBuilder b;
    SceneObject& s = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    KdNode& below = b.scene.newLeaf();
    KdNode& above = b.scene.newLeaf();
    b.scene.append(below, s);
    b.scene.append(above, s);
    b.install(kUnitBox, splitX(b, 0.0f, below, above), {-5.0f, 0.0f, 0.0f});

    ray.rayId = 42;  // the next id, 43, equals a new object's mailbox value; the frame cleared it
    traceTowards({0.0f, 0.0f, 0.0f}, 2);
    EXPECT_EQ(lastShaded().object, &s);
    EXPECT_NEAR(lastShaded().distance, 4.5f, 1e-5f);
    EXPECT_EQ(s.mailboxRayId[2], ray.rayId);
    EXPECT_EQ(s.mailboxRayId[0], 0u);  // other workers' slots untouched

    // A second test by the same ray is answered from the mailbox.
    intersectPrimary(ray, s);
    EXPECT_EQ(ray.candidate.distance, -1.0f);

    // A general ray has no mailbox and finds the same hit.
    generalRay({-5.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    EXPECT_EQ(callbackObject, &s);
    EXPECT_NEAR(hitRecorded.x, -0.5f, 1e-5f);
}

TEST_F(Walk, HitBeyondTheSplitDoesNotStopTheWalk) {
    SceneBuilder b;
    SceneObject& far = wallAtX(b, 1.5f);   // listed only on the near side, hit beyond the split
    SceneObject& near = wallAtX(b, 0.5f);  // the closer hit lives in the far child
    KdNode& below = b.scene.newLeaf();
    KdNode& above = b.scene.newLeaf();
    b.scene.append(below, far);
    b.scene.append(above, near);
    b.install(kUnitBox, splitX(b, 0.0f, below, above), {-5.0f, 0.0f, 0.0f});

    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &near);
    EXPECT_NEAR(lastShaded().distance, 5.5f, 1e-5f);

    generalRay({-5.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    EXPECT_EQ(callbackObject, &near);
}

TEST_F(Walk, EarlyExitComparesTheTrueSphereHitPoint) {
    // The sphere leaves `position` unset; its hit at x = 1.5 lies beyond the split at 1, and the wall
    // at x = 1.2 in the far child is closer. Judging by a stale position would skip the far child.
    SceneBuilder b;
    SceneObject& ball = b.sphere({1.75f, 0.0f, 0.0f}, 0.0625f);
    SceneObject& wall = wallAtX(b, 1.2f);
    KdNode& below = b.scene.newLeaf();
    KdNode& above = b.scene.newLeaf();
    b.scene.append(below, ball);
    b.scene.append(above, wall);
    b.install(kUnitBox, splitX(b, 1.0f, below, above), {0.5f, 0.0f, 0.0f});

    generalRay({0.5f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    EXPECT_EQ(callbackObject, &wall);
    EXPECT_NEAR(hitRecorded.x, 1.2f, 1e-5f);
    traceTowards({2.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &wall);
}

TEST_F(Walk, HitBeforeTheEntryPointSkipsTheFarChild) {
    SceneBuilder b;
    SceneObject& marker = b.sphere({-3.0f, 0.0f, 0.0f}, 0.25f);  // free object, outside the box
    SceneObject& wall = wallAtX(b, 0.5f);
    KdNode& below = b.scene.newLeaf();
    KdNode& above = b.scene.newLeaf();
    b.scene.append(above, wall);
    b.scene.freeObject = &marker;
    b.install(kUnitBox, splitX(b, 0.0f, below, above), {-5.0f, 0.0f, 0.0f});

    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &marker);
    EXPECT_NEAR(lastShaded().distance, 1.5f, 1e-5f);
    EXPECT_EQ(wall.mailboxRayId[0], 0u);  // the far leaf was never visited
}

TEST_F(Walk, RayParallelToTheSplitNeverCrosses) {
    SceneBuilder b;
    // A wall at y = 1 spanning both halves, listed only in the x >= 0 leaf.
    SceneObject& wall = b.parallelogram({-2.0f, 1.0f, -1.0f}, {4.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 2.0f});
    KdNode& below = b.scene.newLeaf();
    KdNode& above = b.scene.newLeaf();
    b.scene.append(above, wall);
    b.install(kUnitBox, splitX(b, 0.0f, below, above), {-1.0f, -5.0f, 0.0f});

    const Vec3 c = traceTowards({-1.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().calls, 0);
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(wall.mailboxRayId[0], 0u);
    generalRay({-1.0f, -5.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    EXPECT_EQ(callbackCalls, 0);

    // On the other side of the split the same wall is hit.
    generalRay({1.0f, -5.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    EXPECT_EQ(callbackObject, &wall);
}

TEST_F(Walk, ObjectsOutsideTheBoxAreInvisible) {
    SceneBuilder b;
    SceneObject& outside = b.sphere({0.0f, 0.0f, 5.0f}, 0.25f);
    SceneObject& inside = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    KdNode& leaf = b.scene.newLeaf();
    b.scene.append(leaf, outside);
    b.scene.append(leaf, inside);
    b.install(kUnitBox, leaf, {0.0f, -7.0f, 5.0f});

    const Vec3 c = traceTowards({0.0f, 0.0f, 5.0f});
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(lastShaded().calls, 0);
    EXPECT_EQ(outside.mailboxRayId[0], 0u);  // a ray that misses the box visits no node
    generalRay({0.0f, -7.0f, 5.0f}, {0.0f, 1.0f, 0.0f});
    EXPECT_EQ(callbackCalls, 0);

    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &inside);
}

TEST_F(Walk, EyeInsideTheBoxStartsAtTheEye) {
    SceneBuilder b;
    SceneObject& ahead = b.sphere({0.0f, 1.0f, 0.0f}, 0.25f);
    SceneObject& behind = b.sphere({0.0f, -1.5f, 0.0f}, 0.25f);
    KdNode& leaf = b.scene.newLeaf();
    b.scene.append(leaf, ahead);
    b.scene.append(leaf, behind);
    b.install(kUnitBox, leaf, {0.0f, 0.0f, 0.0f});

    ray.direction = {0.0f, 1.0f, 0.0f};
    enterBox(currentScene().bounds, camera().eyePosition, ray);
    EXPECT_EQ(ray.candidate.distance, 1.0f);
    EXPECT_EQ(ray.candidate.position.y, 0.0f);

    traceTowards({0.0f, 2.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &ahead);
    EXPECT_NEAR(lastShaded().distance, 0.5f, 1e-6f);
    traceTowards({0.0f, -2.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &behind);
    EXPECT_NEAR(lastShaded().distance, 1.0f, 1e-6f);
}

TEST_F(Walk, BoxEntryPointsAndMisses) {
    HitRecord h{};
    enterBox(kUnitBox, {-5.0f, 0.5f, 0.25f}, {1.0f, 0.0f, 0.0f}, h);
    EXPECT_EQ(h.distance, 3.0f);
    EXPECT_EQ(h.position.x, -2.0f);
    EXPECT_EQ(h.position.y, 0.5f);
    EXPECT_EQ(h.position.z, 0.25f);

    enterBox(kUnitBox, {-5.0f, 3.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, h);  // passes beside the box
    EXPECT_LT(h.distance, 0.0f);
    enterBox(kUnitBox, {-5.0f, 0.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}, h);  // moves away from it
    EXPECT_LT(h.distance, 0.0f);
    enterBox(kUnitBox, {0.0f, 0.0f, 3.0f}, {1.0f, 0.0f, 0.0f}, h);  // parallel to the face it is outside of
    EXPECT_LT(h.distance, 0.0f);

    // Entering exactly through an edge: equal parameters keep the earlier axis; bounds are inclusive.
    const Vec3 d = normalize({1.0f, 1.0f, 0.0f});
    enterBox(kUnitBox, {-3.0f, -3.0f, 0.0f}, d, h);
    EXPECT_GT(h.distance, 0.0f);
    EXPECT_EQ(h.position.x, -2.0f);
    EXPECT_NEAR(h.position.y, -2.0f, 1e-5f);

    enterBox(kUnitBox, {1.0f, -1.0f, 0.5f}, d, h);
    EXPECT_EQ(h.distance, 1.0f);
    EXPECT_EQ(h.position.x, 1.0f);
}

TEST_F(Walk, CameraBoxCacheClassifiesTheEyePerFrame) {
    SceneBuilder b;
    SceneObject& ball = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    KdNode& leaf = b.scene.newLeaf();
    b.scene.append(leaf, ball);
    b.install(kUnitBox, leaf, {-5.0f, 0.5f, 3.0f});
    world().frameStamp = 7;
    prepareCameraFrame();
    const CameraBoxCache& c = cameraBoxCache;
    EXPECT_FALSE(c.eyeInside);
    EXPECT_TRUE(c.outside[0]);
    EXPECT_EQ(c.plane[0], -2.0f);
    EXPECT_FALSE(c.outside[1]);
    EXPECT_TRUE(c.outside[2]);
    EXPECT_EQ(c.plane[2], 2.0f);
    EXPECT_EQ(c.stamp, 7);

    ray.direction = normalize({3.0f, -0.5f, -1.5f});
    enterBox(currentScene().bounds, camera().eyePosition, ray);
    EXPECT_NEAR(ray.candidate.distance, 3.0f * std::sqrt(1.0f + 0.5f * 0.5f / 9.0f + 0.25f), 1e-5f);
    EXPECT_EQ(ray.candidate.position.x, -2.0f);
    EXPECT_NEAR(ray.candidate.position.z, 1.5f, 1e-5f);

    // The next frame's eye, without a prepared frame: the ray classifies it itself, not from the stale cache.
    camera().eyePosition = {0.0f, -5.0f, 0.0f};  // outside on y only; the stale cache knew x and z
    world().frameStamp = 8;
    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &ball);
    EXPECT_EQ(cameraBoxCache.eye.x, -5.0f);
    world().frameStamp = 0;
}

TEST_F(Walk, FreeObjectIsTestedBeforeTheTree) {
    SceneBuilder b;
    SceneObject& marker = b.sphere({0.0f, 0.0f, 5.0f}, 0.25f);  // outside the box, hit only as free object
    SceneObject& ball = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    KdNode& leaf = b.scene.newLeaf();
    b.scene.append(leaf, ball);
    b.scene.freeObject = &marker;
    b.install(kUnitBox, leaf, {0.0f, -7.0f, 0.0f});

    traceTowards({0.0f, 0.0f, 5.0f});
    EXPECT_EQ(lastShaded().object, &marker);

    // Looking through the free object at the ball: the free object is nearer.
    camera().eyePosition = {0.0f, 0.0f, 7.0f};
    prepareCameraFrame();
    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &marker);

    // traceRay leaving the free object never reports it.
    generalRay({0.0f, 0.0f, 7.0f}, {0.0f, 0.0f, -1.0f}, &marker);
    EXPECT_EQ(callbackObject, &ball);
    EXPECT_NEAR(hitRecorded.z, 0.5f, 1e-5f);
    generalRay({0.0f, 0.0f, 7.0f}, {0.0f, 0.0f, -1.0f}, nullptr);
    EXPECT_EQ(callbackObject, &marker);

    // Hidden from the camera, it is still seen by other rays.
    marker.flags = kHiddenFromCamera;
    traceTowards({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(lastShaded().object, &ball);
    generalRay({0.0f, 0.0f, 7.0f}, {0.0f, 0.0f, -1.0f}, nullptr);
    EXPECT_EQ(callbackObject, &marker);
}

TEST_F(Walk, ExcludedSurfaceIgnoresOnlyItsSelfHits) {
    SceneBuilder b;
    SceneObject& floor = b.parallelogram({-1.0f, -1.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f});
    KdNode& leaf = b.scene.newLeaf();
    b.scene.append(leaf, floor);
    b.install(kUnitBox, leaf, {0.0f, -7.0f, 1.0f});

    const Vec3 down{0.0f, 0.0f, -1.0f};
    generalRay({0.0f, 0.0f, 0.00005f}, down, &floor);  // hit at 0.00005: a self-hit
    EXPECT_EQ(callbackCalls, 0);
    generalRay({0.0f, 0.0f, 0.0002f}, down, &floor);  // 0.0002 is a genuine hit
    EXPECT_EQ(callbackObject, &floor);
    generalRay({0.0f, 0.0f, 0.00005f}, down, nullptr);
    EXPECT_EQ(callbackObject, &floor);
}

}  // namespace
}  // namespace lumo::test
