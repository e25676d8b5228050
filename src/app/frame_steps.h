// The steps of one frame of the running program (the window adds timing, blit and fps).
#pragma once

#include "core/render_params.h"
#include "image/frame_buffer.h"

namespace lumo {

// Between frames, with programMutex() held: makes the scene the settings name the current one
// (building it if it changed), puts the orbit into the view's camera and returns the frame's
// parameters, so that no change made during the frame reaches it half-way.
RenderParams takeFrameState();

// The current scene's frame with params: the eye on its orbit, the scene's animation at clock
// animationClockMs when `animate` is set, the photon passes whose Calculate switch is on, the picture
// into fb.
void produceFrame(FrameBuffer& fb, const RenderParams& params, double animationClockMs, bool animate);

}  // namespace lumo
