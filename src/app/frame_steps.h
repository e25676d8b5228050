// The steps of one frame of the running program (the frame loop adds timing, present and rate).
#pragma once

#include "core/render_params.h"
#include "image/frame_buffer.h"

namespace lumo {

struct Program;
struct RenderThreadState;

// Between frames, with the program's mutex held, on the thread that renders: makes the scene the
// settings name the current one (building it if it changed), puts the orbit into the view's camera
// and returns the frame's parameters, so that no change made during the frame reaches it half-way.
RenderParams takeFrameState(Program& program);

// The current scene's picture with params into fb: the eye on its orbit, the scene's animation at
// clock animationClockMs when `animate` is set, the photon passes whose Calculate switch is on.
// Nothing without a scene.
void renderCurrentScene(RenderThreadState& render, FrameBuffer& fb, const RenderParams& params,
                        double animationClockMs, bool animate);

}  // namespace lumo
