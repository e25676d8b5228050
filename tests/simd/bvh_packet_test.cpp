// Camera and shadow packets through a BVH against the single-ray walks, lane by lane, on every level
// the processor runs: objects of every kind, mesh triangles, a free object and a part hidden from
// the camera.
#include <gtest/gtest.h>

#include "image/frame.h"
#include "scene/bvh.h"
#include "support/shape_maker.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

struct BvhPacketScene {
    TraceScene t;
    Shapes g;
    SceneObject* hidden = nullptr;

    BvhPacketScene() {
        g.addMixed(t.scene, 200, 1.2f);
        addRandomMesh(t.scene, g, 3000, 1.2f, t.material);
        hidden = &addRandomMesh(t.scene, g, 200, 1.2f, t.material);
        hidden->flags = kHiddenFromCamera;
        t.scene.freeObject = &t.sphere({0.0f, 0.0f, -0.8f}, 0.2f);
        buildBvh(t.scene, 2);
    }
};

TEST(BvhPackets, CameraLanesFindWhatTheSingleRayWalkFinds) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    BvhPacketScene s;
    TraceScene& t = s.t;
    int hits = 0, meshHits = 0;
    for (const Vec3 eye : {Vec3{0.3f, -4.0f, 1.0f}, Vec3{0.1f, 0.2f, 0.05f}}) {
        t.placeEye(eye);
        t.view.camera.lookAtPoint = {0.0f, 0.0f, 0.0f};
        for (int level = kIsaSse; level <= processorIsa(); ++level) {
            const PacketKernels kernels = packetKernels(static_cast<Isa>(level));
            for (float y = 0.5f; y < 240.0f; y += 9.0f)
                for (float x0 = 0.25f; x0 < 320.0f; x0 += 5.0f * static_cast<float>(kernels.lanes)) {
                    float columns[kMaxPacketLanes];
                    for (int k = 0; k < kernels.lanes; ++k) columns[k] = x0 + 5.0f * static_cast<float>(k);
                    PacketHits out;
                    kernels.camera(t.view.packets.frame, y, columns, out);
                    for (int k = 0; k < kernels.lanes; ++k) {
                        const Vec3 d{out.direction[0][k], out.direction[1][k], out.direction[2][k]};
                        const SceneObject* scalar = t.traceAlong(d);
                        const bool packetHit = out.shape[k] >= 0 && out.distance[k] > 0.0f;
                        ASSERT_EQ(packetHit, scalar != nullptr) << isaName(static_cast<Isa>(level)) << " y " << y;
                        if (!scalar) continue;
                        ++hits;
                        const HitRecord& h = out.records[k];
                        EXPECT_EQ(h.object, scalar);
                        EXPECT_EQ(bitsOf(out.distance[k]), bitsOf(t.ray.nearest.distance));
                        if (scalar->type == kMeshFaces) {
                            ++meshHits;
                            EXPECT_NE(scalar, s.hidden);
                            EXPECT_EQ(h.triangle, t.ray.nearest.triangle);
                            EXPECT_EQ(bitsOf(h.u), bitsOf(t.ray.nearest.u));
                        }
                    }
                }
        }
    }
    EXPECT_GT(meshHits, 1000);
    EXPECT_GT(hits, meshHits + 100);
}

TEST(BvhPackets, ShadowLanesBlockWhereTheSingleRayWalkBlocks) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    BvhPacketScene s;
    TraceScene& t = s.t;
    t.placeEye({0.0f, -4.0f, 0.0f});
    int blocked = 0, rays = 0;
    for (int level = kIsaSse; level <= processorIsa(); ++level) {
        const PacketKernels kernels = packetKernels(static_cast<Isa>(level));
        for (int packet = 0; packet < 300; ++packet) {
            ShadowPacket p{};
            bool expected[kMaxPacketLanes];
            for (int k = 0; k < kernels.lanes; ++k) {
                const Vec3 o = s.g.point(1.3f), d = s.g.direction();
                const float reach = s.g.uniform(0.0f, 3.0f);
                // Some rays leave a mesh part: its own hits within 0.0001 do not count.
                const SceneObject* from = k % 2 ? t.scene.meshes.objects[0] : nullptr;
                for (int a = 0; a < 3; ++a) p.origin[a][k] = axisValue(o, a), p.direction[a][k] = axisValue(d, a);
                p.maxDistance[k] = reach;
                p.exclude[k] = from ? static_cast<float>(from->index) : -1.0f;
                expected[k] = occluded(t.context(), Ray{o, d, reach}, from, nullptr);
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

}  // namespace
}  // namespace lumo::test
