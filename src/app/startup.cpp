#include "app/startup.h"

#include <cstdio>

#include "app/camera_drag.h"
#include "app/camera_orbit.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/settings.h"
#include "core/isa.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {
int sseOverride = -1;
}  // namespace

bool processorSupportsSse() {
    static const bool hasSse = processorIsa() != kIsaScalar;
    return sseOverride >= 0 ? sseOverride != 0 : hasSse;
}

void overrideProcessorSse(int hasSse) { sseOverride = hasSse; }

void startUp() {
    // The processor check picks the routines.
    if (processorSupportsSse()) settings().useAsm = 1;
    applyStartupSettings();
    // A threaded pass that runs long keeps the window's protocol: a message, then still the wait.
    program().renderer.wait.onTimeout = [](int remaining) {
        char text[64];
        std::snprintf(text, sizeof text, "Time out, ThrCnt=%d", remaining);
        platform().showMessage("Debug", text);
    };
    loadScene(1);
    resetOrbit(1);
    platform().setTitle(findDemoScene(1)->title);
}

void resetToStaticValues() {
    resetSettings();
    program().pendingScene.reset();
    camera() = Camera{};
    orbit() = Orbit{};
    frameTimer() = FrameTimer{};
    dragState() = DragState{};
}

void resetToStartup() {
    resetToStaticValues();
    startUp();
}

}  // namespace lumo
