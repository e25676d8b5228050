// The steps of one frame of the running program (the window adds timing, blit and fps).
#pragma once

#include "image/frame_buffer.h"

namespace lumo {

// The current scene's frame with the current settings: the eye on its orbit, the scene's animation
// at clock animationClockMs when `animate` is set, the photon passes whose Calculate switch is on,
// the picture into fb.
void produceFrame(FrameBuffer& fb, double animationClockMs, bool animate);

}  // namespace lumo
