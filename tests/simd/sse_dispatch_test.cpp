// The SSE dispatchers and the leaf loops: flag and mailbox steps, routing of the codes without an SSE
// twin to the portable routines, the acceptance and filter rules of each walk's leaf against the
// portable walk, and the check that decides whether the path can run.
#include "simd/processor.h"
#include "simd_test_util.h"
#include "trace/traverse.h"

namespace lumo::test {
namespace {

TEST(SseSwitch, ProcessorCheckDecidesWhetherThePathIsUsable) {
#if defined(__x86_64__)
    EXPECT_TRUE(processorHasSse());  // part of the x86-64 baseline
#endif
    EXPECT_EQ(sseAvailable, processorHasSse());
    EXPECT_EQ(sseUsable(), kSseBuilt && processorHasSse());
}

#if defined(__SSE__)

TEST(SseDispatch, CameraDispatchHonoursHiddenFlagAndMailbox) {
    SceneObject ball = makeSphere({0, 0, 0}, 1.0f);
    const Vec3 eye{0, 0, -5};
    const Vec3 forward{0, 0, 1};
    CameraFrame frame(eye, {&ball});
    EXPECT_EQ(cameraHit(frame, ball, forward, true).distance, 4.0f);
    EXPECT_EQ(frame.mailbox[0], frame.ray.rayId);

    // The same ray again (the object sits in a second leaf): a miss without any computation.
    intersectPrimarySse(frame.ray, ball, frame.view());
    EXPECT_EQ(frame.ray.candidate.distance, -1.0f);
    // Another worker's ray with the same id has a mailbox of its own.
    CameraFrame other(eye, {&ball});
    EXPECT_EQ(cameraHit(other, ball, forward, true).distance, 4.0f);
    EXPECT_EQ(other.ray.rayId, frame.ray.rayId);

    // Hidden from camera rays, still seen by every other ray.
    ball.flags = kHiddenFromCamera;
    EXPECT_EQ(cameraHit(frame, ball, forward, true).distance, -1.0f);
    EXPECT_EQ(sseGeneral(ball, eye, forward).distance, 4.0f);
}

TEST(SseDispatch, CodesWithoutTwinGoToPortableRoutines) {
    SceneObject disc;
    initDisc(disc);
    disc.disc.centre = {0.2f, 0.1f, 0.0f};
    disc.disc.normal = {0.0f, 0.0f, 1.0f};
    SceneObject torus;
    initTorus(torus);
    SceneObject unknown = makeSphere({0, 0, 0}, 1.0f);
    unknown.type = 4;
    const Vec3 eye{0.3f, -0.2f, -3.0f};
    for (SceneObject* o : {&disc, &torus, &unknown}) {
        CameraFrame frame(eye, {o});
        for (const Vec3 target : {Vec3{1.0f, 0.0f, 0.0f}, Vec3{0.5f, 0.5f, 0.1f}, Vec3{0.0f, 0.0f, 0.0f}}) {
            const Vec3 d = normalize(sub(target, eye));
            const HitRecord portable = portableGeneral(*o, eye, d);
            const HitRecord sse = sseGeneral(*o, eye, d);
            EXPECT_EQ(portable.distance, sse.distance) << "type " << o->type;
            EXPECT_EQ(portable.u, sse.u);
            EXPECT_EQ(cameraHit(frame, *o, d, false).distance, cameraHit(frame, *o, d, true).distance)
                << "type " << o->type;
        }
    }
    EXPECT_EQ(sseGeneral(unknown, eye, {0, 0, 1}).distance, -1.0f);
    EXPECT_GT(sseGeneral(disc, eye, {0, 0, 1}).distance, 0.0f);
    EXPECT_GT(sseGeneral(torus, eye, normalize(sub(Vec3{1.0f, 0.0f, 0.0f}, eye))).distance, 0.0f);
}

// Links the nodes into one leaf list, in order.
KdNode leafOf(ObjectNode* nodes, int count) {
    for (int k = 0; k + 1 < count; ++k) nodes[k].next = &nodes[k + 1];
    KdNode leaf;
    leaf.below = nodes;
    return leaf;
}

const Vec3 kCellMin{-10, -10, -10};
const Vec3 kCellMax{10, 10, 10};

TEST(SseDispatch, CameraLeafKeepsNearestAndEarlierOfEqualHits) {
    SceneObject far = makeSphere({0, 0, 3}, 1.0f);      // hit at 7
    SceneObject first = makeSphere({0, 0, 0}, 1.0f);    // hit at 4
    SceneObject twin = makeSphere({0, 0, 0}, 1.0f);     // equal distance, later in the list
    SceneObject behind = makeSphere({0, 0, -9}, 1.0f);  // negative distance
    SceneObject hidden = makeSphere({0, 0, -2}, 1.0f);  // nearer, but hidden from camera rays
    hidden.flags = kHiddenFromCamera;
    ObjectNode nodes[5] = {{&far}, {&behind}, {&hidden}, {&first}, {&twin}};
    const KdNode leaf = leafOf(nodes, 5);
    const Vec3 eye{0, 0, -5};
    CameraFrame frame(eye, {&far, &first, &twin, &behind, &hidden});

    for (bool sse : {false, true}) {
        PrimaryRay& ray = frame.next({0, 0, 1});
        ray.nearest.distance = -1.0f;
        if (sse)
            cameraLeafSse(ray, leaf.objects(), frame.view());
        else
            traverseCamera(ray, &leaf, eye, kCellMin, kCellMax, frame.view());
        EXPECT_EQ(ray.nearest.distance, 4.0f) << "sse " << sse;
        EXPECT_EQ(ray.nearest.object, &first) << "sse " << sse;
    }

    // A nearer hit already in `nearest` (another leaf) is kept; the leaf only offers farther ones.
    PrimaryRay& ray = frame.next({0, 0, 1});
    ray.nearest.distance = 3.5f;
    ray.nearest.object = &hidden;
    cameraLeafSse(ray, leaf.objects(), frame.view());
    EXPECT_EQ(ray.nearest.object, &hidden);
}

TEST(SseDispatch, NearestAndOcclusionLeavesFilterLikeThePortableWalks) {
    const Vec3 origin{0, 0, -5};
    const Vec3 forward{0, 0, 1};
    SceneObject self = makePatch(kParallelogram, {-1, -1, -5}, {2, 0, 0}, {0, 2, 0});  // the origin's surface
    SceneObject blocker = makeSphere({0, 0, 0}, 1.0f);                                  // at 4
    SceneObject light = makeSphere({0, 0, -2}, 0.25f);                                  // skipObject, at 2.5
    SceneObject noShadow = makeSphere({0, 0, -3}, 0.25f);                               // casts no shadow
    noShadow.flags = kNoShadowCast;
    ObjectNode nodes[4] = {{&self}, {&noShadow}, {&light}, {&blocker}};
    const KdNode leaf = leafOf(nodes, 4);

    const auto occlusion = [&](float maxDistance, bool sse) {
        if (sse) return occlusionLeafSse(leaf.objects(), origin, forward, maxDistance, &light, &self);
        return traverseOcclusion(&leaf, origin, origin, forward, maxDistance, &light, &self, kCellMin, kCellMax);
    };
    const auto nearest = [&](bool sse) {
        HitRecord hit{};
        hit.distance = -1.0f;
        if (sse)
            nearestLeafSse(leaf.objects(), origin, forward, hit, &self);
        else
            traverseNearest(&leaf, origin, origin, forward, hit, &self, kCellMin, kCellMax);
        return hit;
    };
    for (bool sse : {false, true}) {
        // Shadow ray of length 10: only the blocker counts. Shorter than the blocker: nothing.
        EXPECT_EQ(occlusion(10.0f, sse), 4.0f) << "sse " << sse;
        EXPECT_EQ(occlusion(3.0f, sse), -1.0f) << "sse " << sse;
        // The nearest hit of all, non-casters and the light included; the self-hit at 0 is ignored.
        const HitRecord hit = nearest(sse);
        EXPECT_EQ(hit.object, &noShadow) << "sse " << sse;
        EXPECT_EQ(hit.distance, 1.5f) << "sse " << sse;
    }
}

#endif

}  // namespace
}  // namespace lumo::test
