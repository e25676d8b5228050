#include "app/frame_timer.h"

#include <cstdio>

namespace lumo {

void beginFrameTiming(FrameTimer& timer, uint32_t windowTick, uint32_t frameStartTick) {
    if (timer.framesInWindow == 0) timer.windowStartTick = windowTick;
    const uint32_t gap = frameStartTick - timer.lastFrameEndTick;  // unsigned: survives the clock wrap
    if (gap > kPauseThresholdMs) timer.pausedMs += gap;
}

bool endFrameTiming(FrameTimer& timer, uint32_t nowTick) {
    const uint32_t elapsed = nowTick - timer.windowStartTick;
    ++timer.framesInWindow;
    if (elapsed <= kMeasureWindowMs) return false;
    // A pause just before the window's first frame is counted although it lies before windowStartTick,
    // so the pauses can reach the elapsed time; the unsigned difference would then wrap.
    const bool measured = timer.pausedMs < elapsed;
    if (measured) {
        const uint32_t busy = elapsed - timer.pausedMs;
        timer.currentFps = 1000.0f / static_cast<float>(busy) * static_cast<float>(timer.framesInWindow);
    }
    timer.framesInWindow = 0;
    timer.pausedMs = 0;
    return measured;
}

std::string formatFps(float fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%5.2f fps", static_cast<double>(fps));
    return text;
}

}  // namespace lumo
