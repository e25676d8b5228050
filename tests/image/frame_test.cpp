// The renderer on real scenes: camera rays through traceSample, per-worker rays and counts, the same
// picture on every thread count.
#include "image/frame.h"

#include <gtest/gtest.h>

#include "image/packed_pixel.h"
#include "support/render_support.h"

namespace lumo {
namespace {

using test::TestRender;

struct RealFrame : testing::Test {
    TestRender t{1};

    FrameBuffer render(int w, int h, SamplingMode mode, int threads) {
        t.params.sampling = mode;
        t.params.threadCount = threads;
        resetRayStats(t.renderer);
        return t.frame(w, h, 0.0, false);
    }
};

TEST_F(RealFrame, OneToOneTracesEveryDisplayedPixelOnceOnEachThreadCount) {
    for (Isa isa : {kIsaScalar, kIsaAuto})
        for (int threads : {1, 2, 3, 8}) {
            t.params.isa = isa;
            render(64, 48, kSamplingOneToOne, threads);
            EXPECT_EQ(totalRayStats(t.renderer).samples, 64u * 48u) << threads << " threads, " << isaName(isa);
            if (isa == kIsaScalar) {
                for (const RenderWorker& w : t.renderer.renderWorkers)
                    EXPECT_EQ(w.stats.samples, w.ray.rayId) << "ray ids start at 1 every frame";
            }
        }
    EXPECT_EQ(t.renderer.renderWorkers.size(), 8u);
}

TEST_F(RealFrame, TheSamePictureOnEveryThreadCount) {
    t.params.shader = kShaderPhong;
    for (int aa : {0, 2})
        for (SamplingMode mode : {kSamplingOneToOne, kSamplingSubsampled}) {
            t.params.antiAliasing = aa;
            const FrameBuffer one = render(136, 84, mode, 1);
            for (int threads : {2, 3, 8})
                EXPECT_EQ(one.pixels, render(136, 84, mode, threads).pixels)
                    << "mode " << mode << ", aa " << aa << ", " << threads << " threads";
            int lit = 0;
            for (uint32_t p : one.pixels) lit += p != 0;
            EXPECT_GT(lit, 136 * 84 / 4);
        }
}

TEST_F(RealFrame, SamplesLookThroughTheirPixelsFromTheEye) {
    // The depth shader's grey is the distance to the hit: each pixel must show the distance along its
    // own ray through the ray frame, found here by the general nearest-hit query instead of the
    // camera path.
    t.params.shader = kShaderDepth;
    const FrameBuffer fb = render(40, 30, kSamplingOneToOne, 2);
    const RayFrame& f = t.view.rayFrame;
    const Vec3 eye = t.view.camera.eyePosition;
    const TraceContext ctx = t.context();
    int hits = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 1; x <= 40; ++x) {
            const Vec3 d =
                normalize(add(add(f.cameraCorner, scale(float(y), f.rowStep)), scale(float(x), f.columnStep)));
            const HitRecord hit = nearestHit(ctx, eye, d, nullptr);
            if (hit.distance < 0.0f) {
                EXPECT_EQ(fb.at(y, x), 0u) << y << ", " << x;
                continue;
            }
            ++hits;
            const float g = 1.0f - (static_cast<float>(hit.distance) - 4.17f) / 5.66f;
            EXPECT_EQ(fb.at(y, x), packColour(vec3(g, g, g))) << y << ", " << x;
        }
    EXPECT_GT(hits, 40 * 30 / 4);
}

}  // namespace
}  // namespace lumo
