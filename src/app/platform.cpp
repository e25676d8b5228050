#include "app/platform.h"

#include <chrono>

namespace lumo {

uint32_t RecordingPlatform::tickCount() {
    if (scripted) return scriptedTick;
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace lumo
