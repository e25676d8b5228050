// The steps of one frame that every front end shares (the window adds timing, blit and fps).
#pragma once

#include "image/frame.h"

namespace lumo {

// In order: reseed the generator with 12345, place the eye on its orbit, run the scene's animation
// step at clock animationClockMs when `animate` is set, run the photon passes whose Calculate switch
// is on, render into fb, increment frameStamp.
void produceFrame(FrameBuffer& fb, double animationClockMs, bool animate);

}  // namespace lumo
