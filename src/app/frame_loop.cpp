#include "app/frame_loop.h"

#include "app/adaptive_rate.h"
#include "app/frame_steps.h"
#include "app/platform.h"
#include "app/program.h"
#include "image/pass_mean.h"
#include "photon/photon_pass.h"
#include "scene/demo_scenes.h"

namespace lumo {

FrameReport showNextFrame(Program& program, FrameBuffer& fb, const PresentFrame& present) {
    Platform& p = program.platform;
    RenderThreadState& render = program.render;
    FrameTimer& timer = render.timer;
    const uint32_t windowTick = p.tickCount();
    const uint32_t frameStartTick = p.tickCount();
    beginFrameTiming(timer, windowTick, frameStartTick);

    RenderParams params;
    bool animate = false;
    int passes = 1;
    bool stillFrame = true;
    {
        std::lock_guard<std::mutex> lock(program.mutex);
        params = takeFrameState(program);
        const RenderSettings& s = program.shared.settings;
        animate = s.animationOn != 0;
        stillFrame = !animate || !demoSceneMoves(s.sceneId);
        passes = s.refinePasses;
    }
    // A moving scene shows every frame as traced; so does a view without a scene yet.
    if (!render.scene || (animate && demoSceneMoves(render.scene->id()))) passes = 1;
    StillRefinement& still = render.still;
    params.pass = passes > 1 ? still.pass : 1;
    const double animationClock = animate ? static_cast<double>(p.tickCount()) : 0.0;
    renderCurrentScene(render, fb, params, animationClock, animate);

    FrameReport report;
    report.width = fb.width;
    report.height = fb.height;
    report.pass = params.pass;
    report.passes = passes;
    if (passes > 1) {
        const int64_t moved =
            addPass(still.mean, fb, params.pass == 1, params.threadCount, render.renderer.workers());
        report.morePasses = params.pass < passes && moved > 0;
    } else if (!still.mean.sums.empty()) {
        releasePassMean(still.mean);
    }

    present(fb);  // may hand fb's storage over: read nothing of it after this
    report.threads = params.threadCount;
    if ((params.photons.causticsDisplay || params.photons.giDisplay) && render.scene && render.scene->photonMaps)
        report.photons = keptPhotons(render.scene->photonMaps->store);
    const uint64_t frameRays = totalRayStats(render.renderer).rays;
    timer.raysInWindow += frameRays;
    resetRayStats(render.renderer);

    const int framesInWindow = timer.framesInWindow + 1;
    const uint32_t frameEndTick = p.tickCount();
    if (endFrameTiming(timer, frameEndTick)) {
        report.measured = true;
        report.fps = timer.currentFps;
        report.atLeast = timer.fpsAtLeast;
        report.raysPerSecond = static_cast<double>(timer.raysInWindow) / framesInWindow * timer.currentFps;
        std::lock_guard<std::mutex> lock(program.mutex);
        RenderSettings& s = program.shared.settings;
        // The target is for interaction: the passes of a still view leave the thresholds alone.
        if (s.adaptiveTargetFps != 0 && params.pass == 1)
            adaptThresholds(s.refineThresholds, s.adaptiveTargetFps, timer.currentFps);
    }
    if (stillFrame) {
        report.measured = true;
        report.fps = framesPerSecond(1, frameEndTick - frameStartTick, &report.atLeast);
        report.raysPerSecond = static_cast<double>(frameRays) * report.fps;
    }
    if (timer.framesInWindow == 0) timer.raysInWindow = 0;
    timer.lastFrameEndTick = p.tickCount();
    return report;
}

std::string passText(const FrameReport& report) {
    if (report.pass <= 1 || report.passes <= 1) return "";
    std::string text = "pass " + std::to_string(report.pass) + "/" + std::to_string(report.passes);
    return report.morePasses ? text : text + ", done";
}

void showNextFrame(Program& program, FrameBuffer& fb) {
    Platform& p = program.platform;
    const FrameReport report = showNextFrame(
        program, fb, [&p](FrameBuffer& shown) { p.presentFrame(shown.pixels.data(), shown.width, shown.height); });
    if (report.measured) p.setStatusText(formatFps(report.fps, report.atLeast));
}

}  // namespace lumo
