// The packet walks where rays start on, run in and cross split planes: lane by lane what the scalar
// walks answer (which the trace tests hold against a loop over all objects).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/grid_scene.h"
#include "trace/traverse.h"

namespace lumo {
namespace {

using test::bitsOf;
using test::TraceScene;

TEST(SplitPlanePackets, ShadowPacketsAreTheScalarOcclusionWalk) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    std::mt19937 random(21);
    int blocked = 0, rays = 0;
    for (int sceneNumber = 0; sceneNumber < 30; ++sceneNumber) {
        TraceScene t;
        test::buildGridScene(t, random);
        const CameraPacketFrame& frame = t.view.packets.frame;
        for (int level = kIsaSse; level <= processorIsa(); ++level) {
            const PacketKernels kernels = packetKernels(static_cast<Isa>(level));
            for (int packet = 0; packet < 12; ++packet) {
                ShadowPacket p{};
                for (int k = 0; k < kernels.lanes; ++k) {
                    const Vec3 o = test::gridOrigin(t.scene, random, packet * kernels.lanes + k);
                    const Vec3 d = test::gridDirection(random, k);
                    for (int a = 0; a < 3; ++a) p.origin[a][k] = axisValue(o, a), p.direction[a][k] = axisValue(d, a);
                    p.maxDistance[k] = 3.0f * std::uniform_real_distribution<float>(0.1f, 1.0f)(random);
                    p.exclude[k] = -1.0f;
                }
                const unsigned all = (1u << kernels.lanes) - 1u;
                const unsigned got = kernels.occlusion(frame, p, all);
                for (int k = 0; k < kernels.lanes; ++k) {
                    const Vec3 o{p.origin[0][k], p.origin[1][k], p.origin[2][k]};
                    const Vec3 d{p.direction[0][k], p.direction[1][k], p.direction[2][k]};
                    const bool scalar = traverseOcclusion(t.scene, o, d, p.maxDistance[k], nullptr, nullptr) > 0.0f;
                    EXPECT_EQ(((got >> k) & 1u) != 0, scalar)
                        << isaName(static_cast<Isa>(level)) << " scene " << sceneNumber << " lane " << k << " o "
                        << o.x << "," << o.y << "," << o.z << " d " << d.x << "," << d.y << "," << d.z;
                    blocked += scalar;
                    ++rays;
                }
            }
        }
    }
    EXPECT_GT(blocked, rays / 50);
}

// Camera packets from an eye on a split plane (and on grid points, so that rays run along planes and
// cross them on cell faces): the scalar camera walk's winner and distance in every lane.
TEST(SplitPlanePackets, CameraPacketsFromAnEyeOnAPlaneAreTheScalarWalk) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    std::mt19937 random(22);
    int hits = 0, lanes = 0;
    for (int sceneNumber = 0; sceneNumber < 30; ++sceneNumber) {
        TraceScene t;
        test::buildGridScene(t, random);
        for (int eye = 0; eye < 3; ++eye) {
            t.placeEye(test::gridOrigin(t.scene, random, 0));
            const CameraPacketFrame& frame = t.view.packets.frame;
            for (int level = kIsaSse; level <= processorIsa(); ++level) {
                const Isa isa = static_cast<Isa>(level);
                for (int row = 0; row < 240; row += 20) {
                    float columns[kMaxPacketLanes];
                    // Column 160 and row 120 look along the camera axis, which lies in the eye's planes.
                    for (int k = 0; k < isaLanes(isa); ++k) columns[k] = static_cast<float>(160 - 2 * k);
                    PacketHits out;
                    cameraPacketKernel(isa)(frame, static_cast<float>(row == 0 ? 120 : row), columns, out);
                    for (int k = 0; k < isaLanes(isa); ++k) {
                        const Vec3 d{out.direction[0][k], out.direction[1][k], out.direction[2][k]};
                        const SceneObject* scalar = t.traceAlong(d);
                        const int s = out.shape[k];
                        const bool packetHit = s >= 0 && out.distance[k] > 0.0f;
                        EXPECT_EQ(packetHit, scalar != nullptr) << isaName(isa) << " scene " << sceneNumber;
                        if (packetHit && scalar) {
                            EXPECT_EQ(frame.shapes[s].object, scalar);
                            EXPECT_EQ(bitsOf(out.distance[k]), bitsOf(t.ray.nearest.distance));
                        }
                        hits += scalar != nullptr;
                        ++lanes;
                    }
                }
            }
        }
    }
    EXPECT_GT(hits, lanes / 10);
}

}  // namespace
}  // namespace lumo
