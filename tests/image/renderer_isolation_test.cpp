// Renderers share nothing: scenes, views and renderers rendered side by side give the pictures each
// gives alone.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/render_support.h"

namespace lumo::test {

namespace {

// A few animated frames of a scene: egg (caustic pass), cornell box (GI pass), shadows (moving light).
struct Case {
    int sceneId;
    int threads;
};

void setUp(TestRender& r, const Case& c) {
    r.params.threadCount = c.threads;
    r.params.photons.giPhotonCount = 20000;  // enough photons to fill several blocks, quick under sanitizers
    r.params.sampling = kSamplingOneToOne;
}

std::vector<FrameBuffer> framesAlone(const Case& c, int frames) {
    TestRender r(c.sceneId);
    setUp(r, c);
    std::vector<FrameBuffer> out;
    for (int i = 0; i < frames; ++i) out.push_back(r.frame(48, 36, 400.0 * i));
    return out;
}

constexpr int kFrames = 3;

}  // namespace

TEST(RendererIsolation, ScenesRenderedAlternatelyMatchEachAlone) {
    const Case cases[] = {{8, 1}, {9, 1}, {4, 2}};
    std::vector<std::vector<FrameBuffer>> alone;
    for (const Case& c : cases) alone.push_back(framesAlone(c, kFrames));

    // One renderer serves all three scenes, frame by frame in turn.
    Renderer shared;
    std::vector<TestRender> scenes;
    scenes.reserve(3);
    for (const Case& c : cases) setUp(scenes.emplace_back(c.sceneId), c);
    for (int i = 0; i < kFrames; ++i) {
        for (size_t s = 0; s < scenes.size(); ++s) {
            TestRender& r = scenes[s];
            FrameBuffer fb;
            fb.resize(48, 36);
            produceFrame(shared, *r.scene, r.view, r.params, fb, 400.0 * i, true);
            EXPECT_EQ(fb.pixels, alone[s][static_cast<size_t>(i)].pixels) << "scene " << cases[s].sceneId << " frame " << i;
        }
    }
}

TEST(RendererIsolation, TwoRenderersOnTwoThreadsMatchEachAlone) {
    // The GI pass stops on a shared photon count, so only its one-thread maps repeat exactly.
    const Case cases[] = {{9, 1}, {8, 2}};
    const std::vector<FrameBuffer> alone[2] = {framesAlone(cases[0], kFrames), framesAlone(cases[1], kFrames)};

    std::vector<FrameBuffer> together[2];
    std::thread first([&] { together[0] = framesAlone(cases[0], kFrames); });
    together[1] = framesAlone(cases[1], kFrames);
    first.join();
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < kFrames; ++i)
            EXPECT_EQ(together[k][static_cast<size_t>(i)].pixels, alone[k][static_cast<size_t>(i)].pixels)
                << "scene " << cases[k].sceneId << " frame " << i;
}

}  // namespace lumo::test
