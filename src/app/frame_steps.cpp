#include "app/frame_steps.h"

#include "app/settings.h"
#include "core/random.h"
#include "photon/photon_pass.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"

namespace lumo {

void produceFrame(FrameBuffer& fb, double animationClockMs, bool animate) {
    // The same random sequence every frame, so photon noise does not flicker.
    seedRandom(12345);
    placeEyeOnOrbit();
    if (animate) animateScene(animationClockMs);

    // While a Calculate switch is off its map stays as the last pass left it.
    if (settings().causticsCalculate) runCausticPass();
    if (settings().giCalculate) runGlobalIlluminationPass();

    renderFrame(fb);
    ++world().frameStamp;
}

}  // namespace lumo
