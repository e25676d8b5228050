#include "app/settings.h"

namespace lumo {

RenderSettings theSettings;

void resetSettings() { settings() = RenderSettings{}; }

void applyStartupSettings() {
    RenderSettings& s = settings();
    s.threadCount = 1;
    s.samplingMode = 2;
    s.antiAliasing = 0;
    s.filterOn = 0;
}

}  // namespace lumo
