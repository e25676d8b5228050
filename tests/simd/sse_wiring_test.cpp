// The switch reaches every call site with a twin: rays that pass exactly through a far edge are
// hits on the portable path and misses on the SSE path, at the free object and in the tree, for
// camera rays, for nearest-hit queries and for shadow rays.
#include <vector>

#include "simd_test_util.h"
#include "trace/trace.h"

namespace lumo::test {
namespace {

#if defined(__SSE__)

// A triangle in the plane z = 1 (in the tree) whose far edge u + v = 1 passes through (0.5, 0.5, 1),
// and a free parallelogram in z = 0.5 whose far edge u = 1 is the line x = -0.5.
class SseWiringTest : public testing::Test {
protected:
    SseWiringTest() {
        Material& grey = scene.newMaterial("grey");
        SceneObject& triangle = scene.newObject();
        initPlanarPatch(triangle);
        triangle.type = kTriangle;
        triangle.material = &grey;
        triangle.patch.origin = {0.0f, 0.0f, 1.0f};
        triangle.patch.edgeA = {1.0f, 0.0f, 0.0f};
        triangle.patch.edgeB = {0.0f, 1.0f, 0.0f};
        prepareParallelogram(triangle);
        SceneObject& free = scene.newObject();
        initPlanarPatch(free);
        free.type = kParallelogram;
        free.material = &grey;
        free.patch.origin = {-1.5f, -1.5f, 0.5f};
        free.patch.edgeA = {1.0f, 0.0f, 0.0f};
        free.patch.edgeB = {0.0f, 1.0f, 0.0f};
        prepareParallelogram(free);
        KdNode& leaf = scene.newLeaf();
        scene.append(leaf, triangle);
        scene.root = &leaf;
        scene.freeObject = &free;
        triangle_ = &triangle;
        free_ = &free;
        mailbox.assign(scene.objectCount(), 0u);
        ray.mailbox = mailbox.data();
    }

    TraceContext context(bool sse) {
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.stats = &stats;
        ctx.sse = sse;
        return ctx;
    }

    HitRecord cameraNearest(Vec3 eye, bool sse) {
        View view;
        view.camera.eyePosition = eye;
        prepareView(view, scene, 64, 48, sse);
        ray.direction = kDown;
        traceCameraRay(context(sse), view, ray);
        return ray.nearest;
    }

    HitRecord generalNearest(Vec3 origin, bool sse) { return nearestHit(context(sse), origin, kDown, nullptr); }

    static constexpr Vec3 kDown{0.0f, 0.0f, -1.0f};
    Scene scene;
    RayStats stats;
    std::vector<uint32_t> mailbox;
    PrimaryRay ray;
    SceneObject* triangle_ = nullptr;
    SceneObject* free_ = nullptr;
};

TEST_F(SseWiringTest, CameraRaysThroughFarEdges) {
    const Vec3 overTriangleEdge{0.5f, 0.5f, 1.9f};
    const HitRecord portable = cameraNearest(overTriangleEdge, false);
    EXPECT_EQ(portable.object, triangle_);
    EXPECT_EQ(portable.u + portable.v, 1.0f);
    EXPECT_LT(cameraNearest(overTriangleEdge, true).distance, 0.0f);

    const Vec3 overFreeEdge{-0.5f, -1.0f, 1.9f};
    const HitRecord free = cameraNearest(overFreeEdge, false);
    EXPECT_EQ(free.object, free_);
    EXPECT_EQ(free.u, 1.0f);
    EXPECT_LT(cameraNearest(overFreeEdge, true).distance, 0.0f);

    // Away from the edges both paths see the same hit.
    const HitRecord inside = cameraNearest({0.25f, 0.25f, 1.9f}, true);
    EXPECT_EQ(inside.object, triangle_);
    EXPECT_EQ(inside.distance, cameraNearest({0.25f, 0.25f, 1.9f}, false).distance);
}

TEST_F(SseWiringTest, NearestHitThroughFarEdges) {
    EXPECT_EQ(generalNearest({0.5f, 0.5f, 1.9f}, false).object, triangle_);
    EXPECT_LT(generalNearest({0.5f, 0.5f, 1.9f}, true).distance, 0.0f);
    EXPECT_EQ(generalNearest({-0.5f, -1.0f, 1.9f}, false).object, free_);
    EXPECT_LT(generalNearest({-0.5f, -1.0f, 1.9f}, true).distance, 0.0f);
    EXPECT_EQ(generalNearest({0.25f, 0.25f, 1.9f}, true).object, triangle_);
}

TEST_F(SseWiringTest, ShadowRayThroughFarEdge) {
    const Vec3 below{0.5f, 0.5f, 0.2f};
    const Vec3 up{0.0f, 0.0f, 1.0f};
    EXPECT_EQ(shadowFactor(context(false), nullptr, nullptr, below, up, 1.5f), 1.0f);
    EXPECT_EQ(shadowFactor(context(true), nullptr, nullptr, below, up, 1.5f), 0.0f);
    EXPECT_EQ(shadowFactor(context(true), nullptr, nullptr, {0.25f, 0.25f, 0.2f}, up, 1.5f), 1.0f);
}

#endif

}  // namespace
}  // namespace lumo::test
