#include "app/startup.h"

#include <cstdio>

#include "app/platform.h"
#include "app/program.h"
#include "core/isa.h"
#include "scene/demo_scenes.h"

namespace lumo {

bool processorSupportsSse() { return processorIsa() != kIsaScalar; }

void startUp(Program& program) {
    RenderSettings& s = program.shared.settings;
    // The processor check picks the routines.
    if (program.processorHasSse) s.useAsm = 1;
    applyStartupSettings(s);
    // A threaded pass that runs long keeps the window's protocol: a message, then still the wait.
    program.render.renderer.wait.onTimeout = [&platform = program.platform](int remaining) {
        char text[64];
        std::snprintf(text, sizeof text, "Time out, ThrCnt=%d", remaining);
        platform.showMessage("Debug", text);
    };
    loadScene(program.render, 1);
    resetOrbit(program.shared, 1);
    program.platform.setTitle(findDemoScene(1)->title);
}

}  // namespace lumo
