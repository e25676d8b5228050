// Camera packets against the scalar camera walk: every lane of every level the processor runs must
// find what the scalar walk finds (direction, distance and object, bit for bit), and whole frames
// must not depend on the level.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "image/frame.h"
#include "support/render_support.h"
#include "support/trace_scene.h"

namespace lumo {
namespace {

using test::TestRender;
using test::bitsOf;
using test::TraceScene;

// Lanes at columns x0 + k * step of row y, for every level, against traceCameraRay.
int expectPacketsAgree(TraceScene& t, float y, float x0, float step) {
    const CameraPacketFrame& frame = t.view.packets.frame;
    int mismatches = 0, hits = 0;
    for (int level = kIsaSse; level <= processorIsa(); ++level) {
        const Isa isa = static_cast<Isa>(level);
        const CameraPacketKernel kernel = cameraPacketKernel(isa);
        if (!kernel) {
            ADD_FAILURE() << "no kernel for " << isaName(isa);
            continue;
        }
        float columns[kMaxPacketLanes];
        for (int k = 0; k < isaLanes(isa); ++k) columns[k] = x0 + static_cast<float>(k) * step;
        PacketHits out;
        kernel(frame, y, columns, out);
        for (int k = 0; k < isaLanes(isa); ++k) {
            const RayFrame& f = t.view.rayFrame;
            const Vec3 d = normalize(add(add(f.cameraCorner, scale(y, f.rowStep)), scale(columns[k], f.columnStep)));
            const SceneObject* scalar = t.traceAlong(d);
            const int s = out.shape[k];
            const bool packetHit = s >= 0 && out.distance[k] > 0.0f;
            const bool same = bitsOf(d.x) == bitsOf(out.direction[0][k]) && bitsOf(d.y) == bitsOf(out.direction[1][k]) &&
                              bitsOf(d.z) == bitsOf(out.direction[2][k]) && packetHit == (scalar != nullptr) &&
                              (!scalar || (frame.shapes[s].object == scalar &&
                                           bitsOf(out.distance[k]) == bitsOf(t.ray.nearest.distance)));
            if (!same && ++mismatches <= 3)
                ADD_FAILURE() << isaName(isa) << " lane " << k << " at row " << y << ", column " << columns[k];
            hits += scalar != nullptr;
        }
    }
    return hits;
}

// A tree of five leaves over `o`: splits on every axis, objects listed in several leaves (and in
// some leaves they do not reach, which the walks must treat alike), one leaf empty.
KdNode& treeOf(TraceScene& t, SceneObject* const (&o)[7]) {
    Scene& s = t.scene;
    KdNode& x = s.newSplit(1, -0.2f, t.leafOf({o[3], o[4], o[1]}), t.leafOf({o[0], o[4], o[5], o[2], o[6]}));
    KdNode& z = s.newSplit(3, 0.1f, t.leafOf({o[0], o[1], o[5]}), t.leafOf({o[1], o[2], o[6]}));
    return s.newSplit(1, 0.9f, s.newSplit(2, 0.3f, x, z), s.newLeaf());
}

// Every packet shape kind (spheres, triangles, parallelograms one- and two-sided, discs and annuli),
// a shape without a packet form, an object hidden from the camera and a free object, in one leaf and
// in a tree, seen from random eyes inside and outside the box over the whole field of view.
TEST(CameraPackets, EveryLaneFindsWhatTheScalarWalkFinds) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    TraceScene t;
    SceneObject& ball = t.sphere({0.5f, 0.2f, -0.3f}, 0.36f);
    SceneObject& floor = t.parallelogram({-1.5f, -1.0f, -1.5f}, {3.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 3.0f});
    SceneObject& card = t.parallelogram({-1.0f, -0.5f, 0.4f}, {0.8f, 0.1f, 0.0f}, {0.1f, 0.9f, 0.2f}, kOneSided);
    SceneObject& wedge = t.parallelogram({0.2f, -0.6f, 0.8f}, {0.0f, 0.7f, 0.1f}, {0.6f, 0.0f, -0.4f});
    wedge.type = kTriangle;
    SceneObject& ring = t.scene.newObject();
    initDisc(ring);
    ring.disc.centre = {-0.4f, 0.6f, -0.6f};
    ring.disc.normal = normalize(Vec3{0.3f, 1.0f, 0.5f});
    ring.disc.outerRadiusSquared = 0.49f;
    ring.disc.innerRadiusSquared = 0.09f;
    ring.material = t.material;
    SceneObject& egg = t.scene.newObject();
    initEllipsoidSection(egg);
    egg.ellipsoid.worldToLocal.m[9] = 0.6f;   // the unit sphere moved to x = -0.6
    egg.ellipsoid.latitudeMax = 0.5f;
    egg.material = t.material;
    SceneObject& ghost = t.sphere({-0.2f, 0.0f, 0.0f}, 0.5f, kHiddenFromCamera);
    SceneObject& sky = t.sphere({0.0f, 0.0f, -30.0f}, 400.0f);
    t.scene.freeObject = &sky;
    KdNode& leaf = t.leafOf({&ball, &floor, &card, &wedge, &ring, &egg, &ghost});
    KdNode& tree = treeOf(t, {&ball, &floor, &card, &wedge, &ring, &egg, &ghost});

    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
    t.view.camera.fieldOfView = 1.4f;
    for (KdNode* root : {&leaf, &tree}) {
        t.finish(test::kUnitBox, *root, {0.0f, 0.5f, 3.5f});
        int hits = 0;
        for (int eye = 0; eye < 40; ++eye) {
            // The first eye lies on the tree's split planes, where the side a walk takes first decides.
            t.placeEye(eye == 0 ? Vec3{-0.2f, 0.3f, 0.1f} : Vec3{coordinate(random), coordinate(random), coordinate(random)});
            for (int y = 0; y < 240; y += 7)
                hits += expectPacketsAgree(t, static_cast<float>(y), 1.0f, 1.0f + 0.25f * (y % 5));
            for (int x = 1; x <= 320; x += 64) hits += expectPacketsAgree(t, 119.5f, static_cast<float>(x), 0.5f);
        }
        EXPECT_GT(hits, 1000) << "the rays must reach the objects";
    }
}

// Shadow rays from random points on the objects' surfaces toward random targets, short and long,
// against the scalar occlusion walk (own-surface hits, reach, objects casting no shadow).
TEST(CameraPackets, ShadowPacketsBlockWhereTheScalarWalkBlocks) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    TraceScene t;
    SceneObject& ball = t.sphere({0.5f, 0.2f, -0.3f}, 0.36f);
    SceneObject& floor = t.parallelogram({-1.5f, -1.0f, -1.5f}, {3.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 3.0f});
    SceneObject& card = t.parallelogram({-1.0f, -0.5f, 0.4f}, {0.8f, 0.1f, 0.0f}, {0.1f, 0.9f, 0.2f}, kOneSided);
    SceneObject& glass = t.sphere({-0.6f, 0.1f, 0.2f}, 0.2f, kNoShadowCast);
    SceneObject& ring = t.scene.newObject();
    initDisc(ring);
    ring.disc.centre = {0.3f, 0.7f, 0.5f};
    ring.disc.normal = normalize(Vec3{1.0f, 0.2f, 0.1f});
    ring.disc.innerRadiusSquared = 0.04f;
    ring.material = t.material;
    KdNode& leaf = t.leafOf({&ball, &floor, &card, &glass, &ring});
    KdNode& tree = treeOf(t, {&ball, &floor, &card, &glass, &ring, &ball, &floor});
    const SceneObject* surfaces[] = {&ball, &floor, &card, &ring};
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int blocked = 0, rays = 0;
    for (int run = 0; run < 2 * processorIsa(); ++run) {  // every level on the leaf, then on the tree
        const int level = kIsaSse + run % processorIsa();
        if (level == kIsaSse) t.finish(test::kUnitBox, run == 0 ? leaf : tree, {0.0f, 0.5f, 3.5f});
        const PacketKernels kernels = packetKernels(static_cast<Isa>(level));
        for (int packet = 0; packet < 200; ++packet) {
            ShadowPacket p{};
            bool expected[kMaxPacketLanes];
            for (int k = 0; k < kernels.lanes; ++k) {
                const SceneObject& from = *surfaces[random() % 4];
                Vec3 o = from.type == kSphere ? add(from.sphere.centre, scale(0.6f, normalize({unit(random), unit(random), unit(random)})))
                                              : Vec3{unit(random), unit(random), unit(random)};
                if (k % 3 == 0) o.x = -0.2f, o.z = 0.1f;  // on the tree's split planes
                const Vec3 d = normalize({unit(random), unit(random), unit(random)});
                const float reach = 2.0f * (unit(random) + 1.0f);
                for (int a = 0; a < 3; ++a) p.origin[a][k] = axisValue(o, a), p.direction[a][k] = axisValue(d, a);
                p.maxDistance[k] = reach;
                p.exclude[k] = static_cast<float>(from.index);
                expected[k] = occluded(t.context(), Ray{o, d, reach}, &from, nullptr);
            }
            const unsigned got = kernels.occlusion(t.view.packets.frame, p, (1u << kernels.lanes) - 1u);
            for (int k = 0; k < kernels.lanes; ++k) {
                EXPECT_EQ((got >> k) & 1u, expected[k] ? 1u : 0u) << isaName(static_cast<Isa>(level)) << " lane " << k;
                blocked += expected[k], ++rays;
            }
        }
    }
    EXPECT_GT(blocked, rays / 10);
    EXPECT_LT(blocked, rays * 9 / 10);
}

// Rays straight down onto exactly representable boundary points, where a comparison with equality
// at stake decides: a tangent ray of a sphere, the long side of a triangle, the far edge of a
// parallelogram, the rims of an annulus. All are hits on both paths.
TEST(CameraPackets, BoundaryRaysDecideAsTheScalarWalk) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    const Box box{{-8.0f, -8.0f, -8.0f}, {8.0f, 8.0f, 8.0f}};
    int lanes = 0;  // over every level the processor runs
    for (int level = kIsaSse; level <= processorIsa(); ++level) lanes += isaLanes(static_cast<Isa>(level));
    const struct {
        const char* what;
        float x, y;
        int shape;  // 0 sphere, 1 triangle, 2 parallelogram, 3 annulus
    } cases[] = {{"tangent", 0.5f, 0.0f, 0}, {"long side", 0.5f, 0.5f, 1}, {"far edge", 1.0f, 0.5f, 2},
                 {"inner rim", 0.5f, 0.0f, 3}, {"outer rim", 0.0f, 1.0f, 3}};
    for (const auto& c : cases) {
        TraceScene t;
        SceneObject* o = nullptr;
        if (c.shape == 0) {
            o = &t.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
        } else if (c.shape == 3) {
            o = &t.scene.newObject();
            initDisc(*o);
            o->disc.normal = {0.0f, 0.0f, 1.0f};
            o->disc.innerRadiusSquared = 0.25f;
            o->material = t.material;
        } else {
            o = &t.parallelogram({0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
            if (c.shape == 1) o->type = kTriangle;
        }
        t.finish(box, t.leafOf({o}), {c.x, c.y, 4.0f});
        const RayFrame down{{0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
        t.view.rayFrame = down;
        t.view.packets.frame.cameraCorner = down.cameraCorner;
        t.view.packets.frame.rowStep = t.view.packets.frame.columnStep = down.rowStep;
        EXPECT_EQ(expectPacketsAgree(t, 0.0f, 0.0f, 0.0f), lanes) << c.what << ": every lane a hit";
    }
}

TEST(CameraPackets, LevelsFallBackToWhatTheProcessorHas) {
    EXPECT_EQ(resolveIsa(kIsaAuto, kIsaAvx2), kIsaAvx2);
    EXPECT_EQ(resolveIsa(kIsaAvx512, kIsaAvx2), kIsaAvx2);
    EXPECT_EQ(resolveIsa(kIsaAvx2, kIsaSse), kIsaSse);
    EXPECT_EQ(resolveIsa(kIsaSse, kIsaAvx512), kIsaSse);
    EXPECT_EQ(resolveIsa(kIsaAvx512, kIsaScalar), kIsaScalar);
    EXPECT_EQ(cameraPacketKernel(kIsaScalar), nullptr);
    for (int level = kIsaSse; level <= kIsaAvx512; ++level)
        EXPECT_NE(cameraPacketKernel(static_cast<Isa>(level)), nullptr) << "every level is built";
    Isa parsed = kIsaScalar;
    EXPECT_TRUE(parseIsaName("avx512", parsed));
    EXPECT_EQ(parsed, kIsaAvx512);
    EXPECT_FALSE(parseIsaName("avx", parsed));
}

// Whole frames, every level asked for (those the processor lacks fall back), both sampling modes with
// anti-aliasing, on several thread counts: one picture.
TEST(CameraPackets, FramesAreTheSameOnEveryLevel) {
    for (int scene : {2, 4, 7}) {
        TestRender r(scene);
        r.params.antiAliasing = 2;
        for (SamplingMode mode : {kSamplingOneToOne, kSamplingSubsampled}) {
            r.params.sampling = mode;
            r.params.isa = kIsaScalar;
            r.params.threadCount = 1;
            const FrameBuffer reference = r.frame(100, 76);
            for (Isa isa : {kIsaSse, kIsaAvx2, kIsaAvx512, kIsaAuto}) {
                r.params.isa = isa;
                r.params.threadCount = isa == kIsaAuto ? 3 : 2;
                EXPECT_EQ(reference.pixels, r.frame(100, 76).pixels)
                    << "scene " << scene << ", mode " << mode << ", " << isaName(isa);
            }
        }
    }
}

}  // namespace
}  // namespace lumo
