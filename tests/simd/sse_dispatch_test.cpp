// The SSE dispatchers and the camera leaf loop: flag and mailbox steps, routing of the codes without
// an SSE twin to the portable routines, the acceptance rule, and the switch that selects the path.
#include "simd/processor.h"
#include "simd_test_util.h"

namespace lumo::test {
namespace {

TEST(SseSwitch, ProcessorCheckAndPathSelection) {
#if defined(__x86_64__)
    EXPECT_TRUE(processorHasSse());  // part of the x86-64 baseline
#endif
    EXPECT_EQ(sseAvailable, processorHasSse());
    {
        UseAsm off(0);
        EXPECT_FALSE(useSsePath());
    }
    {
        UseAsm on(1);
        EXPECT_EQ(useSsePath(), kSseBuilt && processorHasSse());
    }
}

#if defined(__SSE__)

TEST(SseDispatch, CameraDispatchHonoursHiddenFlagAndMailbox) {
    SceneObject ball = makeSphere({0, 0, 0}, 1.0f);
    const Vec3 eye{0, 0, -5};
    const Vec3 forward{0, 0, 1};
    startFrame(ball, eye);
    EXPECT_EQ(cameraHit(ball, forward, true).distance, 4.0f);

    // The same ray id again (the object sits in a second leaf): a miss without any computation.
    PrimaryRay ray;
    ray.direction = forward;
    ray.rayId = 500;
    intersectPrimarySse(ray, ball);
    EXPECT_EQ(ray.candidate.distance, 4.0f);
    EXPECT_EQ(ball.mailboxRayId[0], 500u);
    intersectPrimarySse(ray, ball);
    EXPECT_EQ(ray.candidate.distance, -1.0f);
    // Another worker slot keeps its own mailbox.
    ray.slot = 2;
    intersectPrimarySse(ray, ball);
    EXPECT_EQ(ray.candidate.distance, 4.0f);

    // Hidden from camera rays, still seen by every other ray.
    ball.flags = kHiddenFromCamera;
    EXPECT_EQ(cameraHit(ball, forward, true).distance, -1.0f);
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
        startFrame(*o, eye);
        for (const Vec3 target : {Vec3{1.0f, 0.0f, 0.0f}, Vec3{0.5f, 0.5f, 0.1f}, Vec3{0.0f, 0.0f, 0.0f}}) {
            const Vec3 d = normalize(sub(target, eye));
            const HitRecord portable = portableGeneral(*o, eye, d);
            const HitRecord sse = sseGeneral(*o, eye, d);
            EXPECT_EQ(portable.distance, sse.distance) << "type " << o->type;
            EXPECT_EQ(portable.u, sse.u);
            EXPECT_EQ(cameraHit(*o, d, false).distance, cameraHit(*o, d, true).distance) << "type " << o->type;
        }
    }
    EXPECT_EQ(sseGeneral(unknown, eye, {0, 0, 1}).distance, -1.0f);
    EXPECT_GT(sseGeneral(disc, eye, {0, 0, 1}).distance, 0.0f);
    EXPECT_GT(sseGeneral(torus, eye, normalize(sub(Vec3{1.0f, 0.0f, 0.0f}, eye))).distance, 0.0f);
}

TEST(SseDispatch, CameraLeafKeepsNearestAndEarlierOfEqualHits) {
    const Vec3 eye{0, 0, -5};
    camera().eyePosition = eye;
    ++world().frameStamp;
    SceneObject far = makeSphere({0, 0, 3}, 1.0f);      // hit at 7
    SceneObject first = makeSphere({0, 0, 0}, 1.0f);    // hit at 4
    SceneObject twin = makeSphere({0, 0, 0}, 1.0f);     // equal distance, later in the list
    SceneObject behind = makeSphere({0, 0, -9}, 1.0f);  // negative distance
    SceneObject hidden = makeSphere({0, 0, -2}, 1.0f);  // nearer, but hidden from camera rays
    hidden.flags = kHiddenFromCamera;
    ObjectNode nodes[5] = {{&far}, {&behind}, {&hidden}, {&first}, {&twin}};
    for (int k = 0; k < 4; ++k) nodes[k].next = &nodes[k + 1];
    for (ObjectNode& n : nodes) {
        for (MailboxEntry& entry : n.object->mailboxRayId) entry = 0;
        refreshCameraCache(*n.object);
    }

    PrimaryRay ray;
    ray.direction = {0, 0, 1};
    ray.rayId = 1;
    ray.nearest.distance = -1.0f;
    cameraLeafSse(ray, nodes);
    EXPECT_EQ(ray.nearest.distance, 4.0f);
    EXPECT_EQ(ray.nearest.object, &first);

    // A nearer hit already in `nearest` (another leaf) is kept; the leaf only offers farther ones.
    ray.rayId = 2;
    ray.nearest.distance = 3.5f;
    ray.nearest.object = &hidden;
    cameraLeafSse(ray, nodes);
    EXPECT_EQ(ray.nearest.object, &hidden);
}

TEST(SseDispatch, GeneralLeafFiltersShadowRaysLikePortable) {
    const Vec3 origin{0, 0, -5};
    const Vec3 forward{0, 0, 1};
    SceneObject self = makePatch(kParallelogram, {-1, -1, -5}, {2, 0, 0}, {0, 2, 0});  // the origin's surface
    SceneObject blocker = makeSphere({0, 0, 0}, 1.0f);                             // at 4
    SceneObject light = makeSphere({0, 0, -2}, 0.25f);                              // skipObject, at 2.5
    SceneObject noShadow = makeSphere({0, 0, -3}, 0.25f);                           // casts no shadow
    noShadow.flags = kNoShadowCast;
    ObjectNode nodes[4] = {{&self}, {&noShadow}, {&light}, {&blocker}};
    for (int k = 0; k < 3; ++k) nodes[k].next = &nodes[k + 1];

    // Shadow ray of length 10: only the blocker counts.
    HitRecord shadow{};
    shadow.distance = -1.0f;
    generalLeafSse(nodes, origin, forward, shadow, &light, &self, 10.0f);
    EXPECT_EQ(shadow.object, &blocker);
    EXPECT_EQ(shadow.distance, 4.0f);
    // Shorter than the blocker: nothing.
    shadow.distance = -1.0f;
    generalLeafSse(nodes, origin, forward, shadow, &light, &self, 3.0f);
    EXPECT_EQ(shadow.distance, -1.0f);
    // A normal ray sees the nearest of all, non-casters and the light included.
    HitRecord normal{};
    normal.distance = -1.0f;
    generalLeafSse(nodes, origin, forward, normal, nullptr, &self, 0.0f);
    EXPECT_EQ(normal.object, &noShadow);
    EXPECT_EQ(normal.distance, 1.5f);
}

#endif

}  // namespace
}  // namespace lumo::test
