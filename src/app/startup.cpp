#include "app/startup.h"

#include <ctime>

#include "app/camera_drag.h"
#include "app/frame_timer.h"
#include "app/settings.h"
#include "core/random.h"
#include "photon/photon_store.h"
#include "photon/quadtree.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"
#include "simd/processor.h"

namespace lumo {

namespace {
int sseOverride = -1;
}  // namespace

bool processorSupportsSse() {
    static const bool hasSse = processorHasSse();
    return sseOverride >= 0 ? sseOverride != 0 : hasSse;
}

void overrideProcessorSse(int hasSse) { sseOverride = hasSse; }

void startUp() {
    // World set-up: the camera record exists statically; the processor check picks the routines.
    if (processorSupportsSse()) settings().useAsm = 1;
    applyStartupSettings();
    ensureLight();
    Light& light = *firstLight();
    light.next = nullptr;
    light.object = nullptr;
    light.intensity = 1.0f;
    // Empty photon tables. Blocks and node pools, once allocated, stay for reuse until exit; what
    // starts afresh is the handing out, from the first block and the first pool.
    resetPhotonStore(nullptr, 0);
    resetNodePools();
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    loadScene(1);
    world().frameStamp = 0;
}

void resetToStaticValues() {
    resetSettings();
    camera() = Camera{};
    frameTimer() = FrameTimer{};
    dragState() = DragState{};
    world().frameStamp = 0;
}

void resetToStartup() {
    resetToStaticValues();
    startUp();
}

}  // namespace lumo
