// The boundary cases where the SSE twins deliberately differ from the portable routines, each pinned
// on both paths: far edges of planar patches, t = 0 and t < 0, tangent and near-surface sphere rays,
// and the scene box's maximum face.
#include <vector>

#include "simd/sse_box_entry.h"
#include "simd_test_util.h"
#include "trace/trace.h"

namespace lumo::test {
namespace {

#if defined(__SSE__)

const Vec3 kDown{0.0f, 0.0f, -1.0f};

// Unit triangle and square in the plane z = 0, seen from above.
SceneObject unitTriangle() { return makePatch(kTriangle, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}); }
SceneObject unitSquare() { return makePatch(kParallelogram, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}); }

TEST(SseBoundary, RayThroughTriangleFarEdgeHitsPortableMissesSse) {
    SceneObject o = unitTriangle();
    const Vec3 origin{0.5f, 0.5f, 1.0f};
    const HitRecord portable = portableGeneral(o, origin, kDown);
    EXPECT_EQ(portable.distance, 1.0f);
    EXPECT_EQ(portable.u + portable.v, 1.0f);  // exactly on the edge u + v = 1
    EXPECT_EQ(sseGeneral(o, origin, kDown).distance, -1.0f);

    CameraFrame frame(origin, {&o});
    EXPECT_EQ(cameraHit(frame, o, kDown, false).distance, 1.0f);
    EXPECT_EQ(cameraHit(frame, o, kDown, true).distance, -1.0f);

    // The near edges u = 0 and v = 0 are inside on both paths.
    for (const Vec3 onNearEdge : {Vec3{0.0f, 0.25f, 1.0f}, Vec3{0.25f, 0.0f, 1.0f}}) {
        EXPECT_EQ(portableGeneral(o, onNearEdge, kDown).distance, 1.0f);
        EXPECT_EQ(sseGeneral(o, onNearEdge, kDown).distance, 1.0f);
    }
}

TEST(SseBoundary, ParallelogramFarEdgesHitPortableMissSse) {
    SceneObject o = unitSquare();
    for (const Vec3 origin : {Vec3{1.0f, 0.25f, 1.0f}, Vec3{0.25f, 1.0f, 1.0f}, Vec3{1.0f, 1.0f, 1.0f}}) {
        const HitRecord portable = portableGeneral(o, origin, kDown);
        EXPECT_EQ(portable.distance, 1.0f);
        EXPECT_TRUE(portable.u == 1.0f || portable.v == 1.0f);
        EXPECT_EQ(sseGeneral(o, origin, kDown).distance, -1.0f);
        CameraFrame frame(origin, {&o});
        EXPECT_EQ(cameraHit(frame, o, kDown, false).distance, 1.0f);
        EXPECT_EQ(cameraHit(frame, o, kDown, true).distance, -1.0f);
    }
    const HitRecord inside = sseGeneral(o, {0.75f, 0.5f, 2.0f}, kDown);
    EXPECT_EQ(inside.distance, 2.0f);
    EXPECT_EQ(inside.u, 0.75f);
    EXPECT_EQ(inside.v, 0.5f);
}

TEST(SseBoundary, ZeroPlaneParameterGoesOnToEdgeTestsOnlyOnSse) {
    SceneObject o = unitTriangle();
    // Origin in the plane, inside the triangle: the portable form leaves 0 and writes nothing else;
    // the SSE form tests the edges and reports a hit at 0 with its coordinates.
    const Vec3 inPlane{0.25f, 0.5f, 0.0f};
    const HitRecord portable = portableGeneral(o, inPlane, kDown);
    EXPECT_EQ(portable.distance, 0.0f);
    EXPECT_EQ(portable.u, 99.0f);
    EXPECT_EQ(portable.position.x, 77.0f);
    const HitRecord sse = sseGeneral(o, inPlane, kDown);
    EXPECT_EQ(sse.distance, 0.0f);
    EXPECT_EQ(sse.u, 0.25f);
    EXPECT_EQ(sse.v, 0.5f);
    EXPECT_EQ(sse.position.y, 0.5f);

    // In the plane but outside the triangle: still 0 on the portable path, a miss on the SSE path.
    EXPECT_EQ(portableGeneral(o, {2.0f, 2.0f, 0.0f}, kDown).distance, 0.0f);
    EXPECT_EQ(sseGeneral(o, {2.0f, 2.0f, 0.0f}, kDown).distance, -1.0f);

    // Plane behind the origin: the portable form leaves the negative t, the SSE form writes -1.
    const Vec3 above{0.25f, 0.25f, 2.0f};
    const Vec3 up{0.0f, 0.0f, 1.0f};
    EXPECT_EQ(portableGeneral(o, above, up).distance, -2.0f);
    EXPECT_EQ(sseGeneral(o, above, up).distance, -1.0f);
    CameraFrame frame(above, {&o});
    EXPECT_EQ(cameraHit(frame, o, up, false).distance, -2.0f);
    EXPECT_EQ(cameraHit(frame, o, up, true).distance, -1.0f);
}

TEST(SseBoundary, OneSidedAndParallelRaysMissOnBothPaths) {
    SceneObject o = makePatch(kTriangle, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, kOneSided);
    const Vec3 below{0.25f, 0.25f, -1.0f};
    const Vec3 up{0.0f, 0.0f, 1.0f};
    EXPECT_EQ(portableGeneral(o, below, up).distance, -1.0f);  // arrives from the back
    EXPECT_EQ(sseGeneral(o, below, up).distance, -1.0f);
    const Vec3 along{1.0f, 0.0f, 0.0f};
    EXPECT_EQ(portableGeneral(o, {-1.0f, 0.25f, 0.0f}, along).distance, -1.0f);
    EXPECT_EQ(sseGeneral(o, {-1.0f, 0.25f, 0.0f}, along).distance, -1.0f);
    EXPECT_EQ(sseGeneral(o, {0.25f, 0.25f, 1.0f}, kDown).distance, 1.0f);  // front side still hits
}

TEST(SseBoundary, TangentSphereRay) {
    SceneObject o = makeSphere({0, 0, 0}, 1.0f);
    const Vec3 origin{-5.0f, 1.0f, 0.0f};
    const Vec3 along{1.0f, 0.0f, 0.0f};
    // General form: disc = 0 exactly. Portable miss, SSE hit at the touching point.
    EXPECT_EQ(portableGeneral(o, origin, along).distance, -1.0f);
    EXPECT_EQ(sseGeneral(o, origin, along).distance, 5.0f);
    // Camera form: a hit on both paths.
    CameraFrame frame(origin, {&o});
    EXPECT_EQ(cameraHit(frame, o, along, false).distance, 5.0f);
    EXPECT_EQ(cameraHit(frame, o, along, true).distance, 5.0f);
}

TEST(SseBoundary, SphereNearRootThresholds) {
    SceneObject o = makeSphere({0, 0, 0}, 1.0f);
    const Vec3 along{1.0f, 0.0f, 0.0f};
    // Near root about 0.0005: beyond the SSE epsilon 0.0001, inside the portable 0.001.
    const HitRecord portable = portableGeneral(o, {-1.0005f, 0.0f, 0.0f}, along);
    const HitRecord sse = sseGeneral(o, {-1.0005f, 0.0f, 0.0f}, along);
    EXPECT_NEAR(portable.distance, 2.0005f, 1e-5f);
    EXPECT_NEAR(sse.distance, 0.0005f, 1e-5f);
    // Near root about 0.00005: both take the far root.
    EXPECT_NEAR(portableGeneral(o, {-1.00005f, 0.0f, 0.0f}, along).distance, 2.00005f, 1e-5f);
    EXPECT_NEAR(sseGeneral(o, {-1.00005f, 0.0f, 0.0f}, along).distance, 2.00005f, 1e-5f);
    // From the centre: the exit distance on both.
    EXPECT_EQ(portableGeneral(o, {0, 0, 0}, along).distance, 1.0f);
    EXPECT_EQ(sseGeneral(o, {0, 0, 0}, along).distance, 1.0f);
}

// A one-leaf scene with the default box (-2,-2,-0.001)..(2,2,2) and a sphere of radius 0.5 at (0,0,1).
class SseBoxTest : public testing::Test {
protected:
    SseBoxTest() {
        SceneObject& ball = scene.newObject();
        initSphere(ball);
        ball.material = &scene.newMaterial("ball");
        ball.sphere.centre = {0.0f, 0.0f, 1.0f};
        ball.sphere.radiusSquared = 0.25f;
        KdNode& leaf = scene.newLeaf();
        scene.append(leaf, ball);
        scene.root = &leaf;
        mailbox.assign(scene.objectCount(), 0u);
        ray.mailbox = mailbox.data();
    }

    // The view of a frame on the chosen path with the eye at `eye`.
    View viewFrom(Vec3 eye, bool sse) {
        View view;
        view.camera.eyePosition = eye;
        prepareView(view, scene, 64, 48, sse);
        return view;
    }

    // Box entry of one camera ray.
    HitRecord entry(Vec3 eye, Vec3 direction, bool sse) {
        const View view = viewFrom(eye, sse);
        ray.direction = direction;
        ray.candidate = sentinelHit();
        if (sse)
            enterBoxCameraSse(scene.bounds, eye, view.box, ray);
        else
            enterBox(scene.bounds, eye, view.box, ray);
        return ray.candidate;
    }

    // Distance of the nearest hit of a whole camera ray.
    float nearestDistance(Vec3 eye, Vec3 direction, bool sse) {
        const View view = viewFrom(eye, sse);
        RayStats stats;
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.stats = &stats;
        ctx.sse = sse;
        ray.direction = direction;
        traceCameraRay(ctx, view, ray);
        return ray.nearest.distance;
    }

    Scene scene;
    std::vector<uint32_t> mailbox;
    PrimaryRay ray;
};

TEST_F(SseBoxTest, EyeOnTheBoxMaximumIsInsideForPortableBeyondForSse) {
    const Vec3 eye{2.0f, 0.0f, 1.0f};  // x equals the box maximum
    const Vec3 west{-1.0f, 0.0f, 0.0f};
    const HitRecord portable = entry(eye, west, false);
    EXPECT_EQ(portable.distance, 1.0f);
    EXPECT_EQ(portable.position.x, 2.0f);
    const HitRecord sse = entry(eye, west, true);
    EXPECT_EQ(sse.distance, 0.0f);  // the walk needs a parameter > 0: nothing in the box is seen
    EXPECT_EQ(nearestDistance(eye, west, false), 1.5f);
    EXPECT_EQ(nearestDistance(eye, west, true), -1.0f);

    // On the minimum face the eye is inside on both paths.
    const Vec3 onMin{-2.0f, 0.0f, 1.0f};
    EXPECT_EQ(entry(onMin, {1, 0, 0}, true).distance, 1.0f);
    EXPECT_EQ(nearestDistance(onMin, {1, 0, 0}, true), 1.5f);
}

TEST_F(SseBoxTest, EntryCoordinateOnTheBoxMaximumIsOutsideOnlyForSse) {
    const Vec3 eye{-3.0f, 0.0f, 1.0f};
    // Enters the face x = -2 at t = 2 with y exactly 2.0, the box maximum.
    const Vec3 toMaxEdge{0.5f, 1.0f, 0.0f};
    const HitRecord portable = entry(eye, toMaxEdge, false);
    EXPECT_EQ(portable.distance, 2.0f);
    EXPECT_EQ(portable.position.x, -2.0f);
    EXPECT_EQ(portable.position.y, 2.0f);
    EXPECT_EQ(entry(eye, toMaxEdge, true).distance, -1.0f);
    // y exactly at the box minimum stays inside on both paths.
    const Vec3 toMinEdge{0.5f, -1.0f, 0.0f};
    EXPECT_EQ(entry(eye, toMinEdge, false).distance, 2.0f);
    const HitRecord sse = entry(eye, toMinEdge, true);
    EXPECT_EQ(sse.distance, 2.0f);
    EXPECT_EQ(sse.position.y, -2.0f);
    // An ordinary entry agrees exactly; a ray pointing away misses on both.
    const Vec3 slanted{1.0f, 0.3f, 0.2f};
    const HitRecord a = entry(eye, slanted, false);
    const HitRecord b = entry(eye, slanted, true);
    EXPECT_EQ(a.distance, 1.0f);
    EXPECT_EQ(b.distance, a.distance);
    EXPECT_EQ(b.position.y, a.position.y);
    EXPECT_EQ(b.position.z, a.position.z);
    EXPECT_LT(entry(eye, {-1, 0, 0}, false).distance, 0.0f);
    EXPECT_LT(entry(eye, {-1, 0, 0}, true).distance, 0.0f);
}

#endif

}  // namespace
}  // namespace lumo::test
