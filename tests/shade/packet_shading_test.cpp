// Packet shading against the scalar shaders: the first light's terms from the Phong kernel and its
// shadow rays in packets give every camera hit the colour the scalar shader gives it, bit for bit.
#include "shade/packet_shading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "image/frame.h"
#include "shade/complete_hit.h"
#include "support/render_support.h"
#include "support/trace_scene.h"

namespace lumo {
namespace {

using test::TestRender;
using test::bitsOf;
using test::TraceScene;

// The first light's Phong terms of a packet's hits, on every level, shade each hit to the colour the
// scalar shader gives it, bit for bit: hits all over a sphere and a floor, lights near and far.
TEST(PacketShading, PhongTermsShadeAsTheScalarShader) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    TraceScene t;
    SceneObject& ball = t.sphere({0.3f, 0.1f, -0.2f}, 0.49f);
    SceneObject& floor = t.parallelogram({-2.0f, -1.0f, -2.0f}, {0.0f, 0.0f, 4.0f}, {4.0f, 0.0f, 0.0f});
    t.material->phongExponent = 7.0f;
    t.material->reflectivity = 0.5f;  // the highlight counts
    t.finish(test::kUnitBox, t.leafOf({&ball, &floor}), {0.2f, 0.4f, 3.0f});
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int compared = 0;
    for (int level = kIsaSse; level <= processorIsa(); ++level) {
        const PacketKernels kernels = packetKernels(static_cast<Isa>(level));
        for (int packet = 0; packet < 100; ++packet) {
            t.scene.light.position = scale(1.0f + 20.0f * (unit(random) + 1.0f), normalize({unit(random), 1.0f, unit(random)}));
            const Vec3 eye = t.view.camera.eyePosition;
            PhongPacket q;
            HitRecord hits[kMaxPacketLanes], completed[kMaxPacketLanes];
            Vec3 directions[kMaxPacketLanes];
            for (int k = 0; k < kernels.lanes; ++k) {
                const Vec3 d = normalize({0.3f * unit(random), 0.15f * unit(random) - 0.45f, -1.0f});
                ASSERT_NE(t.traceAlong(d), nullptr);
                directions[k] = d, hits[k] = completed[k] = t.ray.nearest;
                completeHit(eye, d, completed[k]);
                for (int a = 0; a < 3; ++a)
                    q.point[a][k] = axisValue(completed[k].position, a), q.normal[a][k] = axisValue(completed[k].normal, a);
            }
            kernels.phong(eye, t.scene.light.position, q);
            for (int k = 0; k < kernels.lanes; ++k) {
                const FirstLightTerms terms{{q.eyeward[0][k], q.eyeward[1][k], q.eyeward[2][k]},
                                            {{q.toLight[0][k], q.toLight[1][k], q.toLight[2][k]},
                                             q.lightDistance[k],
                                             q.cosine[k]},
                                            q.highlight[k]};
                const Vec3 given = shadePhongWithTerms(t.context(), eye, directions[k], completed[k], terms, nullptr);
                const Vec3 scalar = shadePhong(t.context(), eye, directions[k], hits[k], &airMedium, 0);
                EXPECT_TRUE(bitsOf(given.x) == bitsOf(scalar.x) && bitsOf(given.y) == bitsOf(scalar.y) &&
                            bitsOf(given.z) == bitsOf(scalar.z))
                    << isaName(static_cast<Isa>(level)) << " lane " << k << " of packet " << packet;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 0);
}

// Rows of demo scenes in packets against single rays, on the widest level: an area light (its corners
// and subdivision in packets), a point light over several blockers, Phong with the GI map as the only
// light (no direct light, no shadow rays) and a shader without Phong's terms. The same pixels and
// the same ray counts.
TEST(PacketShading, RowsInPacketsAreTheScalarPixels) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    const struct {
        const char* what;
        int scene;
        ShaderMode shader;
        bool giAlone;
    } cases[] = {{"area light", 7, kShaderPhong, false},
                 {"point light, blockers", 4, kShaderPhong, false},
                 {"GI map alone", 9, kShaderPhong, true},
                 {"normals", 2, kShaderNormals, false}};
    constexpr int kWidth = 80, kHeight = 60;
    std::vector<int> columns(kWidth);
    std::iota(columns.begin(), columns.end(), 0);
    const PacketKernels kernels = packetKernels(processorIsa());
    for (const auto& c : cases) {
        TestRender r(c.scene);
        r.params.shader = c.shader;
        r.params.photons.giDisplay = c.giAlone;  // the map stays empty: its estimate is black
        r.params.photons.giOnlyIndirect = !c.giAlone;
        r.orbitEye(kWidth, kHeight);
        RayStats packetRays, scalarRays;
        TraceContext packets = r.context(), scalar = r.context();
        packets.stats = &packetRays, scalar.stats = &scalarRays;
        int mismatches = 0;
        for (int y = 0; y < kHeight; y += 3) {
            uint32_t row[kWidth];
            tracePacketRow(packets, r.view, kernels, static_cast<float>(y), columns.data(), kWidth, row);
            for (int x = 0; x < kWidth; ++x)
                if (row[x] != traceSample(scalar, r.view, r.cameraRay(), static_cast<float>(y), static_cast<float>(x)) &&
                    ++mismatches <= 3)
                    ADD_FAILURE() << c.what << ": pixel (" << x << ", " << y << ")";
        }
        EXPECT_EQ(packetRays.rays, scalarRays.rays) << c.what;
        EXPECT_EQ(packetRays.samples, scalarRays.samples) << c.what;
    }
}

}  // namespace
}  // namespace lumo
