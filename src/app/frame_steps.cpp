#include "app/frame_steps.h"

#include "app/settings.h"
#include "core/random.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"

namespace lumo {

void produceFrame(FrameBuffer& fb, double animationClockMs, bool animate) {
    // The same random sequence every frame, so photon noise does not flicker.
    seedRandom(12345);
    placeEyeOnOrbit();
    if (animate) animateScene(animationClockMs);

    // Photon passes go here, in this order: the caustic pass when settings().causticsCalculate is
    // set, then the global-illumination pass when settings().giCalculate is set.

    renderFrame(fb);
    ++world().frameStamp;
}

}  // namespace lumo
