// The hand-off between the UI thread (this test's thread) and the render thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/camera_drag.h"
#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/file_scene.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/render_loop.h"
#include "app/startup.h"
#include "core/workers.h"

namespace lumo {
namespace {

using namespace std::chrono_literals;

// Polls `done` (a UI-thread check) for up to `limit`: a bound for a hang, not a speed; the frames here
// take milliseconds, sanitized builds on a loaded machine well under a second.
template <class F>
bool eventually(F done, std::chrono::milliseconds limit = 60000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class RenderLoopTest : public testing::Test {
protected:
    RenderLoopTest() {
        startUp(program);
        settings().animationOn = 0;
        program.render.renderer.wait.limit = std::chrono::minutes(10);  // slow builds: no time-out message
    }
    RenderSettings& settings() { return program.shared.settings; }

    // A frame that only counts and presents.
    RenderLoop::Produce counting() {
        return [this](FrameBuffer& fb, const PresentFrame& present) {
            ++produced;
            present(fb);
            return FrameReport{};
        };
    }

    RecordingPlatform platform;
    Program program{platform};
    std::atomic<int> wakes{0};
    std::atomic<int> produced{0};
    FrameBuffer shown;
};

TEST_F(RenderLoopTest, IdleUntilSomethingChangesAndNeverAheadOfTheUi) {
    RenderLoop loop(program, [this] { ++wakes; }, counting());
    loop.start();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(produced, 0);  // no size yet: nothing to render
    loop.setViewSize(8, 6);
    ASSERT_TRUE(eventually([&] { return loop.collect(shown).newFrame; }));
    EXPECT_EQ(shown.width, 8);
    ASSERT_TRUE(eventually([&] { return loop.idle(); }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(produced, 1);  // Animation off, nothing changed: idle
    EXPECT_TRUE(loop.idle());

    loop.edit([this] { executeCommand(program, kCmdFilter); });
    ASSERT_TRUE(eventually([&] { return loop.collect(shown).newFrame; }));
    EXPECT_EQ(produced, 2);

    loop.edit([this] { executeCommand(program, kCmdAnimation); });  // on: frames go on, one ahead of the UI at most
    ASSERT_TRUE(eventually([&] { return loop.framesPresented() == 3; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(loop.framesPresented(), 3u);
    EXPECT_FALSE(loop.idle());  // a frame waits for the UI, and Animation asks for more
    EXPECT_TRUE(loop.collect(shown).newFrame);
    ASSERT_TRUE(eventually([&] { return loop.framesPresented() == 4; }));

    loop.setVisible(false);
    loop.collect(shown);
    const int hidden = produced;
    std::this_thread::sleep_for(100ms);
    loop.collect(shown);
    EXPECT_LE(produced, hidden + 1);  // at most the frame that was already under way
    ASSERT_TRUE(eventually([&] {
        loop.collect(shown);
        return loop.idle();
    }));
    EXPECT_GT(wakes, 0);
    loop.stop();
}

TEST_F(RenderLoopTest, StillScenesRenderOnlyWhenSomethingChangesWhateverAnimationSays) {
    settings().animationOn = 1;
    RenderLoop loop(program, [this] { ++wakes; }, counting());
    loop.start();
    loop.setViewSize(8, 6);
    auto settlesAfterOneFrame = [&](auto change) {
        const int before = produced;
        loop.edit(change);
        EXPECT_TRUE(eventually([&] {
            loop.collect(shown);
            return loop.idle();
        }));
        loop.collect(shown);  // idle: nothing under way or owed, so no frame can follow
        EXPECT_EQ(produced, before + 1);
        EXPECT_FALSE(commandState(program, kCmdAnimation).enabled);
        EXPECT_EQ(settings().animationOn, 1);
    };
    settlesAfterOneFrame([this] { executeCommand(program, kCmdAreaLight); });
    settlesAfterOneFrame([this] { selectFileScene(program, std::make_unique<Scene>(), "still.json", {}); });
    loop.edit([this] { executeCommand(program, kCmdBalls); });  // this one moves: frames go on
    ASSERT_TRUE(eventually([&] {
        loop.collect(shown);
        return produced >= 5;
    }));
    EXPECT_TRUE(commandState(program, kCmdAnimation).enabled);
    loop.stop();
}

TEST_F(RenderLoopTest, ProgramFramesWhileTheUiChangesEverything) {
    // The real frames (scene loads, photon passes, threaded passes) against commands, drags and zooms
    // made between and during them; under ThreadSanitizer this checks the locking.
    settings().animationOn = 1;
    RenderLoop loop(program, [this] { ++wakes; });
    loop.setViewSize(24, 16);
    loop.start();
    const int ids[] = {kCmdCube,      kCmdEgg,     kCmdCornellBox, kCmdGiSamples125k, kCmdThreads4,   kCmdThreads1,
                       kCmdShadeDepth, kCmdFilter, kCmdOneToOne,   kCmdSubsampling,   kCmdAntiAliasBest,
                       kCmdAdaptive30, kCmdZoomIn, kCmdResetCamera, kCmdMirrorsphere, kCmdAnimation};
    for (int i = 0; i < 60; ++i) {
        const int id = ids[i % std::size(ids)];
        loop.edit([this, id] { executeCommand(program, id); });
        loop.edit([this, i] {
            DragState& drag = program.ui.drag;
            beginDrag(drag, program.shared.orbit, 0, 0);
            dragTo(drag, program.shared.orbit, i % 7, i % 5, 24, 16);
            endDrag(drag);
        });
        if (i % 10 == 0) loop.setViewSize(24 + i, 16 + i / 2);
        if (loop.collect(shown).hasMessage) loop.answerMessage();
        std::this_thread::sleep_for(2ms);
    }
    loop.setViewSize(20, 10);
    ASSERT_TRUE(eventually([&] {
        loop.collect(shown);
        return shown.width == 20 && shown.height == 10;
    }));
    loop.stop();
    EXPECT_EQ(program.render.scene->id(), settings().sceneId);  // the last scene command reached the frames
}

TEST_F(RenderLoopTest, AStillViewRefinesUntilDoneThenIdlesAndAChangeStartsAgain) {
    // The program's own frames, on scripted clocks.
    platform.scripted = true;
    settings().refinePasses = 16;
    std::mutex mutex;
    std::vector<FrameReport> reports;
    RenderLoop loop(
        program, [this] { ++wakes; },
        [&](FrameBuffer& fb, const PresentFrame& present) {
            const FrameReport report = showNextFrame(program, fb, present);
            std::lock_guard<std::mutex> lock(mutex);
            reports.push_back(report);
            return report;
        },
        [] { return std::chrono::steady_clock::time_point{}; });
    loop.setViewSize(16, 12);
    loop.start();
    // Runs the UI until the loop idles; returns the first and the last picture shown.
    auto refine = [&] {
        std::vector<uint32_t> first, last;
        EXPECT_TRUE(eventually([&] {
            if (loop.collect(shown).newFrame) (first.empty() ? first : last) = shown.pixels;
            return loop.idle();
        }));
        return std::pair(first, last);
    };
    const auto [first, last] = refine();
    loop.collect(shown);
    EXPECT_TRUE(loop.idle());  // done: no more frames
    std::vector<FrameReport> run;
    {
        std::lock_guard<std::mutex> lock(mutex);
        run.swap(reports);
    }
    ASSERT_GE(run.size(), 2u);
    ASSERT_LE(run.size(), 16u);
    for (size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(run[i].pass, static_cast<int>(i) + 1);
        EXPECT_EQ(run[i].morePasses, i + 1 < run.size());
    }
    EXPECT_EQ(passText(run.back()), "pass " + std::to_string(run.size()) + "/16, done");
    EXPECT_NE(first, last);  // the mean is not the first pass

    // A change (here one that leaves the picture as it was) starts from the plain frame again, and the
    // passes come to the same mean.
    loop.edit([this] {
        executeCommand(program, kCmdFilter);
        executeCommand(program, kCmdFilter);
    });
    const auto [again, lastAgain] = refine();
    EXPECT_EQ(again, first);
    EXPECT_EQ(lastAgain, last);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(reports.size(), run.size());
        reports.clear();
    }

    // A view where nothing moves between passes (a scene with no objects) is done after its second.
    loop.edit([this] {
        program.shared.pendingScene = std::make_unique<Scene>();
        program.shared.pendingScene->setTree(program.shared.pendingScene->newLeaf());
        settings().sceneId = 0;  // as a scene file leaves it
    });
    refine();
    loop.stop();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(passText(reports.back()), "pass 2/16, done");
}

// Workers held until the test opens the gate: a pass that is late whatever the machine's speed.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    static void hold(int, void* gate) {
        auto& g = *static_cast<Gate*>(gate);
        std::unique_lock<std::mutex> lock(g.mutex);
        g.opened.wait(lock, [&] { return g.open; });
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
};

TEST_F(RenderLoopTest, WorkerTimeOutWaitsForTheUiToAnswer) {
    program.render.renderer.wait.limit = 0ms;
    Gate gate;
    std::atomic<int> clockMs{0};
    const auto start = std::chrono::steady_clock::time_point{};
    // A frame whose three workers are late: they wait at the gate with the program's time-out.
    RenderLoop loop(
        program, [] {},
        [&](FrameBuffer& fb, const PresentFrame& present) {
            WorkerWait wait;
            {
                std::lock_guard<std::mutex> lock(program.mutex);
                wait = program.render.renderer.wait;
            }
            runWorkers(Gate::hold, &gate, 3, wait);
            present(fb);
            return FrameReport{};
        },
        [&] { return start + std::chrono::milliseconds(clockMs.load()); });
    loop.setViewSize(64, 48);
    loop.start();
    RenderLoop::News news;
    ASSERT_TRUE(eventually([&] {
        news = loop.collect(shown);
        return news.hasMessage || news.newFrame;
    }));
    ASSERT_TRUE(news.hasMessage);
    EXPECT_EQ(news.message.caption, "Debug");
    EXPECT_EQ(news.message.text, "Time out, ThrCnt=3");
    clockMs = 1500;
    EXPECT_EQ(loop.frameInFlight(), std::optional(1500ms));
    EXPECT_FALSE(loop.collect(shown).newFrame);  // the pass waits for the answer
    loop.answerMessage();
    gate.release();  // the late workers finish; only then is the frame presented
    ASSERT_TRUE(eventually([&] { return loop.collect(shown).newFrame; }));
    ASSERT_TRUE(eventually([&] { return !loop.frameInFlight(); }));
    loop.stop();
}

TEST_F(RenderLoopTest, StopEndsAPassThatWaitsForAnAnswer) {
    program.render.renderer.wait.limit = 0ms;
    Gate gate;
    gate.release();
    RenderLoop loop(program, [] {}, [&](FrameBuffer& fb, const PresentFrame& present) {
        WorkerWait wait;
        {
            std::lock_guard<std::mutex> lock(program.mutex);
            wait = program.render.renderer.wait;
        }
        wait.onTimeout(2);  // a time-out the UI never answers
        runWorkers(Gate::hold, &gate, 2, wait);
        present(fb);
        return FrameReport{};
    });
    loop.setViewSize(8, 6);
    loop.start();
    ASSERT_TRUE(eventually([&] { return loop.collect(shown).hasMessage; }));
    loop.stop();  // returns although the message was never answered
}

}  // namespace
}  // namespace lumo
