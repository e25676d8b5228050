#include "app/frame_timer.h"

#include <cstdio>

namespace lumo {

void beginFrameTiming(FrameTimer& timer, uint32_t windowTick, uint32_t frameStartTick) {
    if (timer.framesInWindow == 0) {
        timer.windowStartTick = windowTick;
        return;
    }
    const uint32_t gap = frameStartTick - timer.lastFrameEndTick;  // unsigned: survives the clock wrap
    if (gap > kPauseThresholdMs) timer.pausedMs += gap;
}

bool endFrameTiming(FrameTimer& timer, uint32_t nowTick) {
    const uint32_t elapsed = nowTick - timer.windowStartTick;
    ++timer.framesInWindow;
    if (elapsed <= kMeasureWindowMs) return false;
    // Every counted pause lies between two of the window's frames, so it is shorter than elapsed.
    timer.currentFps = framesPerSecond(timer.framesInWindow, elapsed - timer.pausedMs, &timer.fpsAtLeast);
    timer.framesInWindow = 0;
    timer.pausedMs = 0;
    return true;
}

float framesPerSecond(int frames, uint32_t busyMs, bool* atLeast) {
    *atLeast = busyMs < kShortestTimedMs;
    const uint32_t ms = *atLeast ? kShortestTimedMs : busyMs;
    return 1000.0f / static_cast<float>(ms) * static_cast<float>(frames);
}

std::string formatFps(float fps, bool atLeast) {
    char text[32];
    if (atLeast)
        std::snprintf(text, sizeof text, "> %.0f fps", static_cast<double>(fps));
    else
        std::snprintf(text, sizeof text, "%5.2f fps", static_cast<double>(fps));
    return text;
}

std::string formatRays(double raysPerSecond, bool atLeast) {
    char text[48];
    std::snprintf(text, sizeof text, "%s%.2f Mrays/s", atLeast ? "> " : "", raysPerSecond / 1e6);
    return text;
}

}  // namespace lumo
