#include "app/startup.h"

#include <ctime>

#include "app/camera_drag.h"
#include "app/frame_timer.h"
#include "app/settings.h"
#include "core/random.h"
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
    // The photon block table and the node pools start empty by static initialisation; the storage they
    // acquire later is reused by every pass until exit, so there is nothing to clear here.
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
