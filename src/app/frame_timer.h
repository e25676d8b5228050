// Frame-rate measurement over windows of a little more than 250 ms, excluding pauses between frames.
#pragma once

#include <cstdint>
#include <string>

namespace lumo {

struct FrameTimer {
    uint32_t lastFrameEndTick = 0;  // tick of the very last step of the previous frame
    uint32_t windowStartTick = 0;   // tick at the start of the window's first frame
    uint32_t pausedMs = 0;          // gaps over 20 ms between frames within the window
    int16_t framesInWindow = 0;
    float currentFps = 0.0f;
    uint64_t raysInWindow = 0;  // rays traced by the window's frames, for the rays-per-second pane
};

inline constexpr uint32_t kPauseThresholdMs = 20;
inline constexpr uint32_t kMeasureWindowMs = 250;

// At the start of a frame, with the clock read twice as the frame loop does (window start, frame start).
void beginFrameTiming(FrameTimer& timer, uint32_t windowTick, uint32_t frameStartTick);

// After the frame has been shown: counts it and, once the window is longer than 250 ms, computes
// currentFps and closes the window. Returns true when a new rate was measured. A window whose pauses
// reach its elapsed time has no meaningful rate; it is closed without one (returns false).
bool endFrameTiming(FrameTimer& timer, uint32_t nowTick);

// "%5.2f fps"
std::string formatFps(float fps);

}  // namespace lumo
