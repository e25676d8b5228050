#include "app/frame_steps.h"

#include "app/program.h"
#include "app/settings.h"

namespace lumo {

void produceFrame(FrameBuffer& fb, double animationClockMs, bool animate) {
    Program& p = program();
    if (!p.scene) return;
    const RenderParams params = renderParams(settings());
    produceFrame(p.renderer, *p.scene, p.view, params, fb, animationClockMs, animate);
}

}  // namespace lumo
