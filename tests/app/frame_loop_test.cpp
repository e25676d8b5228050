#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/adaptive_rate.h"
#include "app/commands.h"
#include "app/frame_loop.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/startup.h"
#include "image/frame.h"
#include "support/render_support.h"

namespace lumo {
namespace {

// A clock that stands still except while a frame is "rendered": presenting costs frameCostMs.
class ScriptedClock : public RecordingPlatform {
public:
    ScriptedClock() { scripted = true; }
    void presentFrame(const uint32_t* pixels, int width, int height) override {
        RecordingPlatform::presentFrame(pixels, width, height);
        scriptedTick += frameCostMs;
    }
    uint32_t frameCostMs = 100;
};

class FrameLoopTest : public testing::Test {
protected:
    FrameLoopTest() {
        startUp(program);
        clock.scriptedTick = 100000;
        fb.resize(8, 6);
    }

    // Runs frames with the given pause before each one.
    void frames(int count, uint32_t pauseMs = 0) {
        for (int i = 0; i < count; ++i) {
            clock.scriptedTick += pauseMs;
            showNextFrame(program, fb);
        }
    }
    const FrameTimer& frameTimer() const { return program.render.timer; }
    RenderSettings& settings() { return program.shared.settings; }
    // Closes the first window.
    void settle() {
        clock.frameCostMs = 300;
        frames(1);
        clock.statusText.clear();
    }

    ScriptedClock clock;
    Program program{clock};
    FrameBuffer fb;
};

TEST_F(FrameLoopTest, TheGapBeforeAWindowLiesOutsideIt) {
    clock.frameCostMs = 300;
    frames(1);  // 100 s after start-up: the window opens with this frame
    EXPECT_EQ(clock.statusText, " 3.33 fps");
    EXPECT_EQ(frameTimer().framesInWindow, 0);
    EXPECT_EQ(frameTimer().pausedMs, 0u);
    EXPECT_EQ(frameTimer().lastFrameEndTick, 100300u);
    EXPECT_EQ(clock.framesPresented, 1);
    EXPECT_EQ(clock.presentedWidth, 8);
    EXPECT_EQ(clock.presentedHeight, 6);
}

TEST_F(FrameLoopTest, StillFramesShowTheirOwnRateAndFastFramesABound) {
    settle();
    clock.frameCostMs = 1;
    frames(1);
    frames(1, 300);  // a fast frame, a pause, a fast frame: 2 ms of work in a 302 ms window
    EXPECT_EQ(clock.statusText, "> 200 fps");  // not 1000.00 from a 2 ms clock reading
    EXPECT_TRUE(frameTimer().fpsAtLeast);

    settings().animationOn = 0;  // still: each frame reports its own time, without a window
    clock.frameCostMs = 40;
    clock.statusText.clear();
    frames(1);
    EXPECT_EQ(clock.statusText, "25.00 fps");
    clock.frameCostMs = 0;
    frames(1, 500);
    EXPECT_EQ(clock.statusText, "> 100 fps");
    settings().animationOn = 1;
    executeCommand(program, kCmdAreaLight);  // nothing moves in it: still too
    clock.frameCostMs = 50;
    frames(1);
    EXPECT_EQ(clock.statusText, "20.00 fps");
}

TEST_F(FrameLoopTest, ThreeHundredMillisecondFramesCloseAWindowEach) {
    settle();
    for (int i = 0; i < 3; ++i) {
        clock.statusText.clear();
        frames(1);
        EXPECT_EQ(clock.statusText, " 3.33 fps");
        EXPECT_EQ(frameTimer().framesInWindow, 0);
    }
    EXPECT_NEAR(frameTimer().currentFps, 1000.0f / 300.0f, 1e-4f);
}

TEST_F(FrameLoopTest, WindowClosesOnlyPast250Milliseconds) {
    settle();
    clock.frameCostMs = 125;
    frames(2);  // exactly 250 ms: still open
    EXPECT_EQ(clock.statusText, "");
    EXPECT_EQ(frameTimer().framesInWindow, 2);
    frames(1);  // 375 ms, three frames
    EXPECT_EQ(clock.statusText, " 8.00 fps");
    EXPECT_EQ(frameTimer().framesInWindow, 0);
}

TEST_F(FrameLoopTest, PausesOver20MillisecondsAreExcluded) {
    settle();
    clock.frameCostMs = 100;
    frames(1);
    frames(1, 21);  // a pause: subtracted
    EXPECT_EQ(frameTimer().pausedMs, 21u);
    frames(1);      // elapsed 321, busy 300
    EXPECT_EQ(clock.statusText, "10.00 fps");

    clock.statusText.clear();
    frames(1);
    frames(1, 20);  // exactly 20 ms counts as rendering time
    EXPECT_EQ(frameTimer().pausedMs, 0u);
    frames(1);      // elapsed 320
    EXPECT_EQ(clock.statusText, " 9.38 fps");
}

TEST_F(FrameLoopTest, AdaptiveTargetRetunesThresholdsOncePerWindow) {
    settle();
    settings().adaptiveTargetFps = 30;
    clock.frameCostMs = 100;
    frames(2);
    EXPECT_EQ(settings().refineThresholds[1], 24);  // window still open
    frames(1);  // 10 fps measured
    const int16_t expected[5] = {8, 48, 64, 85, 113};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], expected[i]) << i;
}

TEST_F(FrameLoopTest, WithoutTargetThresholdsStayWhateverTheRate) {
    settle();
    clock.frameCostMs = 1000;
    frames(3);
    const int16_t standard[5] = {5, 24, 32, 48, 64};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], standard[i]) << i;
}

TEST_F(FrameLoopTest, WorkerTimeOutShowsTheDebugMessageAndTheFrameStillCompletes) {
    executeCommand(program, kCmdThreads4);
    executeCommand(program, kCmdAnimation);  // off: every frame shows the scene as built
    program.render.renderer.wait.limit = std::chrono::milliseconds(0);
    fb.resize(64, 48);
    for (int i = 0; i < 20 && clock.messages.empty(); ++i) frames(1);
    ASSERT_FALSE(clock.messages.empty());
    for (const std::string& m : clock.messages) EXPECT_THAT(m, testing::MatchesRegex("Debug: Time out, ThrCnt=[1-4]"));

    // The late workers were waited for: the picture is the one a frame without time-outs gives.
    test::TestRender reference(1);
    reference.params = renderParams(settings());
    EXPECT_EQ(reference.frame(64, 48, 0.0, false).pixels, fb.pixels);
}

TEST_F(FrameLoopTest, EmptyViewStillRunsItsFrame) {
    fb.resize(0, 0);
    frames(2);
    EXPECT_EQ(clock.framesPresented, 2);
    EXPECT_EQ(clock.presentedWidth, 0);
    EXPECT_EQ(fb.pixels.size(), 1u);
}

TEST(FrameTimer, ClockWrapIsHandledByUnsignedDifferences) {
    FrameTimer t;
    t.lastFrameEndTick = 0xFFFFFFF0u;
    beginFrameTiming(t, 0xFFFFFFF5u, 0xFFFFFFF5u);  // gap 5
    EXPECT_EQ(t.pausedMs, 0u);
    EXPECT_EQ(t.windowStartTick, 0xFFFFFFF5u);
    EXPECT_FALSE(endFrameTiming(t, 100));  // 111 ms across the wrap
    EXPECT_TRUE(endFrameTiming(t, 300));   // 311 ms, two frames
    EXPECT_NEAR(t.currentFps, 2000.0f / 311.0f, 1e-4f);
}

TEST(FrameTimer, FormatsRightAlignedInFiveCharacters) {
    EXPECT_EQ(formatFps(1000.0f / 300.0f), " 3.33 fps");
    EXPECT_EQ(formatFps(0.0f), " 0.00 fps");
    EXPECT_EQ(formatFps(123.456f), "123.46 fps");
    EXPECT_EQ(formatFps(100.0f, true), "> 100 fps");
    EXPECT_EQ(formatRays(9.7712e6), "9.77 Mrays/s");
    EXPECT_EQ(formatRays(2.5e7, true), "> 25.00 Mrays/s");
}

void expectThresholds(const int16_t (&t)[5], std::initializer_list<int> expected) {
    int i = 0;
    for (int e : expected) EXPECT_EQ(t[i++], e) << "element " << i - 1;
}

TEST(AdaptiveRate, LawExamples) {
    int16_t t[5] = {5, 24, 32, 48, 64};
    adaptThresholds(t, 30, 10.0f);  // d = 24
    expectThresholds(t, {8, 48, 64, 85, 113});

    int16_t small[5] = {0, 2, 2, 2, 2};
    adaptThresholds(small, 5, 100.0f);  // d = -9.5 <= -2 becomes -2/3, truncated to 0
    expectThresholds(small, {0, 2, 2, 2, 2});

    int16_t high[5] = {8, 250, 333, 444, 592};
    adaptThresholds(high, 30, 1.0f);
    expectThresholds(high, {8, 256, 341, 454, 605});
    adaptThresholds(high, 30, 1.0f);
    EXPECT_EQ(high[1], 256);
}

TEST(AdaptiveRate, AnyErrorMovesAtLeastOneStep) {
    int16_t up[5] = {5, 24, 32, 48, 64};
    adaptThresholds(up, 30, 29.5f);  // d = 0.6
    EXPECT_EQ(up[1], 25);
    int16_t down[5] = {5, 24, 32, 48, 64};
    adaptThresholds(down, 30, 30.5f);  // d = -0.6
    EXPECT_EQ(down[1], 23);
    expectThresholds(down, {3, 23, 30, 40, 53});
    int16_t exact[5] = {5, 24, 32, 48, 64};
    adaptThresholds(exact, 30, 30.0f);  // no error: T kept, others re-derived
    expectThresholds(exact, {4, 24, 32, 42, 56});
}

TEST(AdaptiveRate, StaysWithinOneTo256FromPositiveStart) {
    int16_t t[5] = {0, 1, 1, 1, 1};
    adaptThresholds(t, 5, 1000.0f);  // far too fast: a drop of a third of 1 truncates to 0
    EXPECT_EQ(t[1], 1);
    int16_t preset[5] = {9999, 300, 300, 300, 300};
    adaptThresholds(preset, 30, 1.0f);  // first step from a 300 preset lands on 256
    EXPECT_EQ(preset[1], 256);
    int16_t big[5] = {8, 200, 266, 354, 472};
    adaptThresholds(big, 30, 200.0f);  // d = -1700 <= -200: a drop of one third
    EXPECT_EQ(big[1], 134);
}

TEST(AdaptiveRate, NegativeBaseStaysWhileBelowTarget) {
    int16_t t[5] = {-1, -1, 300, 300, 300};
    adaptThresholds(t, 30, 10.0f);
    expectThresholds(t, {0, -1, -1, -1, -1});
}

}  // namespace
}  // namespace lumo
