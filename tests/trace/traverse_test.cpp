// Tree walks: the camera walk (mailboxes, early exit, far-child entry, the scene box), the nearest-hit
// walk and the occlusion walk, through the trace-level queries and directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "intersect/box_entry.h"
#include "intersect/intersect.h"
#include "support/trace_scene.h"
#include "trace/traverse.h"

namespace lumo::test {
namespace {

// A wall in the plane x = x0 facing -x, covering y, z in [-1, 1].
SceneObject& wallAtX(TraceScene& b, float x0) {
    return b.parallelogram({x0, -1.0f, -1.0f}, {0.0f, 0.0f, 2.0f}, {0.0f, 2.0f, 0.0f});
}

KdNode& splitX(TraceScene& b, float at, KdNode& below, KdNode& above) { return b.scene.newSplit(1, at, below, above); }

// Nearest hit of a ray that is not a camera ray.
HitRecord nearestFrom(TraceScene& b, const Vec3& origin, const Vec3& direction,
                      const SceneObject* exclude = nullptr) {
    return nearestHit(b.context(), origin, direction, exclude);
}

// Where the ray hits, taken along the ray (some shapes leave `position` unset).
Vec3 hitPoint(const Vec3& origin, const Vec3& direction, const HitRecord& hit) {
    return add(origin, scale(hit.distance, direction));
}

const Vec3 kPlusX{1.0f, 0.0f, 0.0f};

TEST(CameraWalk, ObjectInTwoLeavesIsTestedOncePerCameraRay) {
    TraceScene b;
    SceneObject& s = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    KdNode& below = b.leafOf({&s});
    KdNode& above = b.leafOf({&s});
    b.finish(kUnitBox, splitX(b, 0.0f, below, above), {-5.0f, 0.0f, 0.0f});

    b.ray.rayId = UINT32_MAX;  // the next id skips 0, the value of a cleared mailbox entry
    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &s);
    EXPECT_EQ(b.ray.rayId, 1u);
    EXPECT_NEAR(b.ray.nearest.distance, 4.5f, 1e-5f);
    EXPECT_TRUE(b.tested(s));

    // A second test by the same ray is answered from the mailbox.
    intersectPrimary(b.ray, s, b.view.cameraEye());
    EXPECT_EQ(b.ray.candidate.distance, -1.0f);

    // Other rays have no mailbox and find the same hit.
    const HitRecord hit = nearestFrom(b, {-5.0f, 0.0f, 0.0f}, kPlusX);
    EXPECT_EQ(hit.object, &s);
    EXPECT_NEAR(hit.distance, 4.5f, 1e-5f);
}

TEST(CameraWalk, HitBeyondTheSplitDoesNotStopTheWalk) {
    TraceScene b;
    SceneObject& far = wallAtX(b, 1.5f);   // listed only on the near side, hit beyond the split
    SceneObject& near = wallAtX(b, 0.5f);  // the closer hit lives in the far child
    b.finish(kUnitBox, splitX(b, 0.0f, b.leafOf({&far}), b.leafOf({&near})), {-5.0f, 0.0f, 0.0f});

    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &near);
    EXPECT_NEAR(b.ray.nearest.distance, 5.5f, 1e-5f);
    EXPECT_EQ(nearestFrom(b, {-5.0f, 0.0f, 0.0f}, kPlusX).object, &near);
}

TEST(CameraWalk, EarlyExitComparesTheTrueSphereHitPoint) {
    // The sphere leaves `position` unset; its hit at x = 1.5 lies beyond the split at 1, and the wall
    // at x = 1.2 in the far child is closer. Judging by a stale position would skip the far child.
    TraceScene b;
    SceneObject& ball = b.sphere({1.75f, 0.0f, 0.0f}, 0.0625f);
    SceneObject& wall = wallAtX(b, 1.2f);
    b.finish(kUnitBox, splitX(b, 1.0f, b.leafOf({&ball}), b.leafOf({&wall})), {0.5f, 0.0f, 0.0f});

    const Vec3 origin{0.5f, 0.0f, 0.0f};
    const HitRecord hit = nearestFrom(b, origin, kPlusX);
    EXPECT_EQ(hit.object, &wall);
    EXPECT_NEAR(hitPoint(origin, kPlusX, hit).x, 1.2f, 1e-5f);
    EXPECT_EQ(b.traceTowards({2.0f, 0.0f, 0.0f}), &wall);
}

TEST(CameraWalk, HitBeforeTheEntryPointSkipsTheFarChild) {
    TraceScene b;
    SceneObject& marker = b.sphere({-3.0f, 0.0f, 0.0f}, 0.25f);  // free object, outside the box
    SceneObject& wall = wallAtX(b, 0.5f);
    KdNode& below = b.scene.newLeaf();
    b.scene.freeObject = &marker;
    b.finish(kUnitBox, splitX(b, 0.0f, below, b.leafOf({&wall})), {-5.0f, 0.0f, 0.0f});

    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &marker);
    EXPECT_NEAR(b.ray.nearest.distance, 1.5f, 1e-5f);
    EXPECT_FALSE(b.tested(wall));  // the far leaf was never visited
}

TEST(CameraWalk, RayParallelToTheSplitNeverCrosses) {
    TraceScene b;
    // A wall at y = 1 spanning both halves, listed only in the x >= 0 leaf.
    SceneObject& wall = b.parallelogram({-2.0f, 1.0f, -1.0f}, {4.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 2.0f});
    KdNode& below = b.scene.newLeaf();
    b.finish(kUnitBox, splitX(b, 0.0f, below, b.leafOf({&wall})), {-1.0f, -5.0f, 0.0f});

    const Vec3 north{0.0f, 1.0f, 0.0f};
    EXPECT_EQ(b.traceTowards({-1.0f, 0.0f, 0.0f}), nullptr);
    EXPECT_FALSE(b.tested(wall));
    EXPECT_LT(nearestFrom(b, {-1.0f, -5.0f, 0.0f}, north).distance, 0.0f);

    // On the other side of the split the same wall is hit.
    EXPECT_EQ(nearestFrom(b, {1.0f, -5.0f, 0.0f}, north).object, &wall);
}

TEST(CameraWalk, ObjectsOutsideTheBoxAreInvisible) {
    TraceScene b;
    SceneObject& outside = b.sphere({0.0f, 0.0f, 5.0f}, 0.25f);
    SceneObject& inside = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    b.finish(kUnitBox, b.leafOf({&outside, &inside}), {0.0f, -7.0f, 5.0f});

    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 5.0f}), nullptr);
    EXPECT_FALSE(b.tested(outside));  // a ray that misses the box visits no node
    EXPECT_LT(nearestFrom(b, {0.0f, -7.0f, 5.0f}, {0.0f, 1.0f, 0.0f}).distance, 0.0f);

    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &inside);
}

TEST(CameraWalk, EyeInsideTheBoxStartsAtTheEye) {
    TraceScene b;
    SceneObject& ahead = b.sphere({0.0f, 1.0f, 0.0f}, 0.25f);
    SceneObject& behind = b.sphere({0.0f, -1.5f, 0.0f}, 0.25f);
    b.finish(kUnitBox, b.leafOf({&ahead, &behind}), {0.0f, 0.0f, 0.0f});

    EXPECT_TRUE(b.view.box.eyeInside);
    b.ray.direction = {0.0f, 1.0f, 0.0f};
    enterBox(b.scene.bounds, b.view.camera.eyePosition, b.view.box, b.ray);
    EXPECT_EQ(b.ray.candidate.distance, 1.0f);
    EXPECT_EQ(b.ray.candidate.position.y, 0.0f);

    EXPECT_EQ(b.traceTowards({0.0f, 2.0f, 0.0f}), &ahead);
    EXPECT_NEAR(b.ray.nearest.distance, 0.5f, 1e-6f);
    EXPECT_EQ(b.traceTowards({0.0f, -2.0f, 0.0f}), &behind);
    EXPECT_NEAR(b.ray.nearest.distance, 1.0f, 1e-6f);
}

TEST(BoxEntry, EntryPointsAndMisses) {
    HitRecord h{};
    enterBox(kUnitBox, {-5.0f, 0.5f, 0.25f}, kPlusX, h);
    EXPECT_EQ(h.distance, 3.0f);
    EXPECT_EQ(h.position.x, -2.0f);
    EXPECT_EQ(h.position.y, 0.5f);
    EXPECT_EQ(h.position.z, 0.25f);

    enterBox(kUnitBox, {-5.0f, 3.0f, 0.0f}, kPlusX, h);  // passes beside the box
    EXPECT_LT(h.distance, 0.0f);
    enterBox(kUnitBox, {-5.0f, 0.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}, h);  // moves away from it
    EXPECT_LT(h.distance, 0.0f);
    enterBox(kUnitBox, {0.0f, 0.0f, 3.0f}, kPlusX, h);  // parallel to the face it is outside of
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

TEST(BoxEntry, ViewClassifiesTheEyeForTheCameraForm) {
    TraceScene b;
    SceneObject& ball = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    b.finish(kUnitBox, b.leafOf({&ball}), {-5.0f, 0.5f, 3.0f});
    const CameraBoxCache& c = b.view.box;
    EXPECT_FALSE(c.eyeInside);
    EXPECT_TRUE(c.outside[0]);
    EXPECT_EQ(c.plane[0], -2.0f);
    EXPECT_FALSE(c.outside[1]);
    EXPECT_TRUE(c.outside[2]);
    EXPECT_EQ(c.plane[2], 2.0f);

    b.ray.direction = normalize({3.0f, -0.5f, -1.5f});
    enterBox(b.scene.bounds, b.view.camera.eyePosition, c, b.ray);
    EXPECT_NEAR(b.ray.candidate.distance, 3.0f * std::sqrt(1.0f + 0.5f * 0.5f / 9.0f + 0.25f), 1e-5f);
    EXPECT_EQ(b.ray.candidate.position.x, -2.0f);
    EXPECT_NEAR(b.ray.candidate.position.z, 1.5f, 1e-5f);

    // The next eye is outside on y only; the view prepared for it sees the ball through that face.
    b.placeEye({0.0f, -5.0f, 0.0f});
    EXPECT_FALSE(c.outside[0]);
    EXPECT_TRUE(c.outside[1]);
    EXPECT_EQ(c.plane[1], -2.0f);
    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &ball);
    EXPECT_NEAR(b.ray.nearest.distance, 4.5f, 1e-5f);
}

TEST(CameraWalk, FreeObjectIsTestedBeforeTheTree) {
    TraceScene b;
    SceneObject& marker = b.sphere({0.0f, 0.0f, 5.0f}, 0.25f);  // outside the box, hit only as free object
    SceneObject& ball = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    b.scene.freeObject = &marker;
    b.finish(kUnitBox, b.leafOf({&ball}), {0.0f, -7.0f, 0.0f});

    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 5.0f}), &marker);

    // Looking through the free object at the ball: the free object is nearer.
    b.placeEye({0.0f, 0.0f, 7.0f});
    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &marker);

    // A nearest-hit query leaving the free object never reports it.
    const Vec3 top{0.0f, 0.0f, 7.0f};
    const Vec3 down{0.0f, 0.0f, -1.0f};
    const HitRecord past = nearestFrom(b, top, down, &marker);
    EXPECT_EQ(past.object, &ball);
    EXPECT_NEAR(hitPoint(top, down, past).z, 0.5f, 1e-5f);
    EXPECT_EQ(nearestFrom(b, top, down).object, &marker);

    // Hidden from the camera, it is still seen by other rays.
    marker.flags = kHiddenFromCamera;
    EXPECT_EQ(b.traceTowards({0.0f, 0.0f, 0.0f}), &ball);
    EXPECT_EQ(nearestFrom(b, top, down).object, &marker);
}

TEST(NearestWalk, ExcludedSurfaceIgnoresOnlyItsSelfHits) {
    TraceScene b;
    SceneObject& floor = b.parallelogram({-1.0f, -1.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f});
    b.finish(kUnitBox, b.leafOf({&floor}), {0.0f, -7.0f, 1.0f});

    const Vec3 down{0.0f, 0.0f, -1.0f};
    EXPECT_LT(nearestFrom(b, {0.0f, 0.0f, 0.00005f}, down, &floor).distance, 0.0f);  // a self-hit at 0.00005
    EXPECT_EQ(nearestFrom(b, {0.0f, 0.0f, 0.0002f}, down, &floor).object, &floor);   // 0.0002 is genuine
    EXPECT_EQ(nearestFrom(b, {0.0f, 0.0f, 0.00005f}, down).object, &floor);
}

const SceneObject* callbackObject;
int callbackCalls;
Vec3 recordingCallback(const TraceContext&, const SceneObject*, const Material*, const Vec3&, const Vec3&,
                       HitRecord hit, float, int) {
    ++callbackCalls;
    callbackObject = hit.object;
    return {1.0f, 0.0f, 0.0f};
}

TEST(NearestWalk, TraceRayHandsTheNearestHitToItsCallbackAndCountsARay) {
    TraceScene b;
    SceneObject& ball = b.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
    SceneObject& wall = wallAtX(b, 1.0f);
    b.finish(kUnitBox, b.leafOf({&wall, &ball}), {0.0f, -7.0f, 0.0f});

    callbackCalls = 0;
    const Vec3 origin{-1.5f, 0.0f, 0.0f};
    Vec3 c = traceRay(b.context(), nullptr, &airMedium, origin, kPlusX, 1.0f, recordingCallback, 0);
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(callbackObject, &ball);
    EXPECT_EQ(c.x, 1.0f);
    EXPECT_EQ(b.stats.rays, 1u);

    // Nothing hit: black, no callback; the query still counts.
    c = traceRay(b.context(), nullptr, &airMedium, origin, {-1.0f, 0.0f, 0.0f}, 1.0f, recordingCallback, 0);
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(b.stats.rays, 2u);
    nearestFrom(b, origin, kPlusX);
    EXPECT_EQ(b.stats.rays, 2u);  // a bare nearest-hit query counts no ray
}

// Occlusion of the ray from `origin` along +x up to maxDistance.
bool occludedAlongX(TraceScene& b, const Vec3& origin, float maxDistance, const SceneObject* exclude = nullptr,
                    const SceneObject* light = nullptr) {
    return occluded(b.context(), Ray{origin, kPlusX, maxDistance}, exclude, light);
}

TEST(OcclusionWalk, FiltersNonCastersTheLightAndSelfHitsAndStopsAtMaxDistance) {
    TraceScene b;
    SceneObject& self = wallAtX(b, -1.0f);  // the surface the ray leaves
    SceneObject& wall = wallAtX(b, 1.0f);
    b.finish(kUnitBox, b.leafOf({&self, &wall}), {0.0f, -7.0f, 0.0f});
    const Vec3 onSelf{-1.0f + 0.00005f, 0.0f, 0.0f};
    const Vec3 origin{-0.5f, 0.0f, 0.0f};

    EXPECT_TRUE(occludedAlongX(b, origin, 2.0f));
    EXPECT_FALSE(occludedAlongX(b, origin, 1.4f));  // the wall at 1.5 lies beyond the ray's end
    EXPECT_EQ(b.stats.rays, 2u);
    EXPECT_FALSE(occludedAlongX(b, origin, 2.0f, nullptr, &wall));  // the light's own geometry
    wall.flags = kNoShadowCast;
    EXPECT_FALSE(occludedAlongX(b, origin, 2.0f));
    wall.flags = 0;

    // From just in front of a surface looking back at it: a self-hit only for that surface.
    const Vec3 back{-1.0f, 0.0f, 0.0f};
    EXPECT_FALSE(occluded(b.context(), Ray{onSelf, back, 1.0f}, &self, nullptr));
    EXPECT_TRUE(occluded(b.context(), Ray{onSelf, back, 1.0f}, nullptr, nullptr));
    EXPECT_TRUE(occluded(b.context(), Ray{{-1.0f + 0.0002f, 0.0f, 0.0f}, back, 1.0f}, &self, nullptr));
}

TEST(OcclusionWalk, FirstBlockerFoundEndsTheWalk) {
    // The walk answers with the first blocker it meets, not the nearest: in list order within a leaf,
    // and a blocker of the near child beyond the split keeps the far child's nearer one unvisited.
    TraceScene b;
    SceneObject& farInLeaf = wallAtX(b, 1.5f);
    SceneObject& nearInLeaf = wallAtX(b, 0.5f);
    b.finish(kUnitBox, b.leafOf({&farInLeaf, &nearInLeaf}), {0.0f, -7.0f, 0.0f});
    const Vec3 origin{-1.5f, 0.0f, 0.0f};
    const auto walk = [&](float maxDistance) {
        return traverseOcclusion(b.scene, origin, kPlusX, maxDistance, nullptr, nullptr);
    };
    EXPECT_FLOAT_EQ(walk(10.0f), 3.0f);
    EXPECT_FLOAT_EQ(walk(2.5f), 2.0f);

    b.finish(kUnitBox, splitX(b, 0.0f, b.leafOf({&farInLeaf}), b.leafOf({&nearInLeaf})), {0.0f, -7.0f, 0.0f});
    EXPECT_FLOAT_EQ(walk(10.0f), 3.0f);
    EXPECT_FLOAT_EQ(walk(2.5f), 2.0f);  // beyond the ray's end the near child's blocker does not count
    EXPECT_EQ(walk(1.5f), -1.0f);
    EXPECT_EQ(nearestFrom(b, origin, kPlusX).object, &nearInLeaf);
}

}  // namespace
}  // namespace lumo::test
