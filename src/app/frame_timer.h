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
    // The window's frames took less than kShortestTimedMs in all: currentFps is a lower bound (the
    // millisecond clock cannot time them closer).
    bool fpsAtLeast = false;
    uint64_t raysInWindow = 0;  // rays traced by the window's frames, for the rays-per-second pane
};

inline constexpr uint32_t kPauseThresholdMs = 20;
inline constexpr uint32_t kMeasureWindowMs = 250;
// Busy time below this is too short for the millisecond clock to give a rate: it only bounds it.
inline constexpr uint32_t kShortestTimedMs = 10;

// At the start of a frame, with the clock read twice as the frame loop does (window start, frame start).
// The gap before a window's first frame lies before the window and is not counted as its pause.
void beginFrameTiming(FrameTimer& timer, uint32_t windowTick, uint32_t frameStartTick);

// After the frame has been shown: counts it and, once the window is longer than 250 ms, computes
// currentFps and closes the window. Returns true when a new rate was measured.
bool endFrameTiming(FrameTimer& timer, uint32_t nowTick);

// The rate of `frames` frames that were busy for busyMs: frames per second, or with *atLeast set, the
// lower bound for a time under kShortestTimedMs.
float framesPerSecond(int frames, uint32_t busyMs, bool* atLeast);

// "%5.2f fps"; a lower bound as "> %.0f fps".
std::string formatFps(float fps, bool atLeast = false);
// "%.2f Mrays/s"; a lower bound with "> " before it.
std::string formatRays(double raysPerSecond, bool atLeast = false);

}  // namespace lumo
