#include "app/startup.h"

#include <cstdio>

#include "app/camera_drag.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/settings.h"
#include "core/isa.h"

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
}

void resetToStaticValues() {
    resetSettings();
    camera() = Camera{};
    frameTimer() = FrameTimer{};
    dragState() = DragState{};
}

void resetToStartup() {
    resetToStaticValues();
    startUp();
}

}  // namespace lumo
