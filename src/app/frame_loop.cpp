#include "app/frame_loop.h"

#include "app/adaptive_rate.h"
#include "app/frame_steps.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/settings.h"

namespace lumo {

void runFrame(FrameBuffer& fb) {
    Platform& p = platform();
    FrameTimer& timer = frameTimer();
    const uint32_t windowTick = p.tickCount();
    beginFrameTiming(timer, windowTick, p.tickCount());

    RenderSettings& s = settings();
    const bool animate = s.animationOn != 0;
    const double animationClock = animate ? static_cast<double>(p.tickCount()) : 0.0;
    produceFrame(fb, animationClock, animate);

    p.presentFrame(fb.pixels.data(), fb.width, fb.height);

    if (endFrameTiming(timer, p.tickCount())) {
        if (s.adaptiveTargetFps != 0) adaptThresholds(s.refineThresholds, s.adaptiveTargetFps, timer.currentFps);
        p.setStatusText(formatFps(timer.currentFps));
    }
    timer.lastFrameEndTick = p.tickCount();
}

}  // namespace lumo
