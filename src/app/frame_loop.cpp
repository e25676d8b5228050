#include "app/frame_loop.h"

#include "app/adaptive_rate.h"
#include "app/frame_steps.h"
#include "app/platform.h"
#include "app/program.h"
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
    bool still = true;
    {
        std::lock_guard<std::mutex> lock(program.mutex);
        params = takeFrameState(program);
        const RenderSettings& s = program.shared.settings;
        animate = s.animationOn != 0;
        still = !animate || !demoSceneMoves(s.sceneId);
    }
    const double animationClock = animate ? static_cast<double>(p.tickCount()) : 0.0;
    renderCurrentScene(render, fb, params, animationClock, animate);

    FrameReport report;
    report.width = fb.width;
    report.height = fb.height;

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
        if (s.adaptiveTargetFps != 0) adaptThresholds(s.refineThresholds, s.adaptiveTargetFps, timer.currentFps);
    }
    if (still) {
        report.measured = true;
        report.fps = framesPerSecond(1, frameEndTick - frameStartTick, &report.atLeast);
        report.raysPerSecond = static_cast<double>(frameRays) * report.fps;
    }
    if (timer.framesInWindow == 0) timer.raysInWindow = 0;
    timer.lastFrameEndTick = p.tickCount();
    return report;
}

void showNextFrame(Program& program, FrameBuffer& fb) {
    Platform& p = program.platform;
    const FrameReport report = showNextFrame(
        program, fb, [&p](FrameBuffer& shown) { p.presentFrame(shown.pixels.data(), shown.width, shown.height); });
    if (report.measured) p.setStatusText(formatFps(report.fps, report.atLeast));
}

}  // namespace lumo
