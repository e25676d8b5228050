// The renderer on real scenes: camera rays through traceSample, worker slots, the same picture on
// every thread count.
#include "image/frame.h"

#include <gtest/gtest.h>

#include <atomic>

#include "app/settings.h"
#include "image/packed_pixel.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"

namespace lumo {
namespace {

struct RealFrame : testing::Test {
    RenderSettings saved;
    void SetUp() override {
        saved = settings();
        loadScene(1);
        placeEyeOnOrbit();
    }
    void TearDown() override { settings() = saved; }

    FrameBuffer render(int w, int h, int mode, int threads, int aa = 0) {
        settings().samplingMode = static_cast<int16_t>(mode);
        settings().threadCount = static_cast<int16_t>(threads);
        settings().antiAliasing = static_cast<int16_t>(aa);
        FrameBuffer fb;
        fb.resize(w, h);
        resetRayStats();
        renderFrame(fb);
        return fb;
    }
};

// Counts every shaded hit; colours each one by its direction so pictures can be compared.
std::atomic<int> shadedHits{0};
Vec3 countingShader(const Vec3&, const Vec3& direction, HitRecord, const Material*, int) {
    shadedHits.fetch_add(1, std::memory_order_relaxed);
    return vec3(0.5f + 0.5f * direction.x, 0.5f + 0.5f * direction.y, 0.5f + 0.5f * direction.z);
}

TEST_F(RealFrame, OneToOneTracesEveryDisplayedPixelOnceOnEachThreadCount) {
    for (int threads : {1, 2, 4}) {
        render(64, 48, 1, threads);
        EXPECT_EQ(totalRayStats().samples, 64u * 48u) << threads;
        for (int k = 0; k < threads; ++k) {
            EXPECT_EQ(workerSlot(k).ray.slot, k);
            EXPECT_EQ(workerSlot(k).stats.samples, workerSlot(k).ray.rayId) << "ray ids start at 1 every frame";
        }
    }
    EXPECT_EQ(workerSlot(0).stats.samples, 31u * 24u);  // four threads: columns 1..31, rows 0..23
}

TEST_F(RealFrame, TheSamePictureOnOneTwoAndFourThreads) {
    settings().currentShader = shadePhong;
    for (int mode : {1, 2}) {
        const FrameBuffer one = render(72, 52, mode, 1);
        const FrameBuffer two = render(72, 52, mode, 2);
        const FrameBuffer four = render(72, 52, mode, 4);
        EXPECT_EQ(one.pixels, two.pixels) << "mode " << mode;
        EXPECT_EQ(one.pixels, four.pixels) << "mode " << mode;
        int lit = 0;
        for (uint32_t p : one.pixels) lit += p != 0;
        EXPECT_GT(lit, 72 * 52 / 4);
    }
}

TEST_F(RealFrame, SamplesLookThroughTheirPixelsFromTheEye) {
    settings().currentShader = countingShader;
    shadedHits = 0;
    const FrameBuffer fb = render(40, 30, 1, 2);
    EXPECT_GT(shadedHits.load(), 0);
    EXPECT_LE(shadedHits.load(), 40 * 30);
    const RayFrame& f = rayFrame();
    for (int y = 0; y < 30; y += 7)
        for (int x = 1; x <= 40; x += 9) {
            if (fb.at(y, x) == 0) continue;  // nothing hit
            const Vec3 d =
                normalize(add(add(f.cameraCorner, scale(float(y), f.rowStep)), scale(float(x), f.columnStep)));
            EXPECT_EQ(fb.at(y, x), packColour(vec3(0.5f + 0.5f * d.x, 0.5f + 0.5f * d.y, 0.5f + 0.5f * d.z)));
        }
}

}  // namespace
}  // namespace lumo
