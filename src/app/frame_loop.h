// One frame of the interactive loop: timing, the shared frame steps, the present and the rate.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "image/frame_buffer.h"

namespace lumo {

struct Program;

// What a frame tells the window besides its picture.
struct FrameReport {
    // The rates below are new: a measuring window closed with this frame, or the frame is a still
    // one (nothing moves in it), whose own time they are.
    bool measured = false;
    float fps = 0.0f;
    double raysPerSecond = 0.0;  // over the same frames
    bool atLeast = false;        // too fast for the millisecond clock: both rates are lower bounds
    int width = 0;               // the traced picture
    int height = 0;
    int threads = 1;
    int64_t photons = -1;     // photons in the scene's map on display, -1 when none is shown
    // Refinement of a still view: the frame is pass `pass` of at most `passes` (1: refinement off, or
    // the scene moves), and the mean of the passes so far; morePasses: the next pass is owed (the
    // last pass changed some pixel by a level and `passes` is not reached).
    int pass = 1;
    int passes = 1;
    bool morePasses = false;
};

// The status text of a refining view from its second pass on ("pass 12/64", "pass 23/64, done");
// empty for a first pass.
std::string passText(const FrameReport& report);

using PresentFrame = std::function<void(FrameBuffer&)>;

// The program's next frame, on the thread that renders, in the program's order: frame timing (pauses
// over 20 ms excluded), the frame's inputs taken under the program's mutex, the frame steps into fb
// as pass render.still.pass of the still view's refinement (with refinement on, the mean of the
// passes so far goes into fb), present(fb), then about four times a second the measured rate and, with
// an adaptive target and a first pass, the retuned thresholds (under the mutex again). A still frame
// (Animation off, or a scene that does not move) reports its own rates, since the frames before it may
// have shown something else. The clock is
// the program's platform's tickCount().
FrameReport showNextFrame(Program& program, FrameBuffer& fb, const PresentFrame& present);

// As above, presenting through the program's platform and showing "%5.2f fps" in its status text.
void showNextFrame(Program& program, FrameBuffer& fb);

}  // namespace lumo
