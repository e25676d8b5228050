// Selection between the portable routines and their SSE twins. The call sites test this once per
// ray or per leaf, never per object.
#pragma once

#include "app/settings.h"

namespace lumo {

#if defined(__SSE__)
inline constexpr bool kSseBuilt = true;
#else
inline constexpr bool kSseBuilt = false;
#endif

// processorHasSse(), taken once at program start.
extern const bool sseAvailable;

// True when the SSE twins run: useAsm is on and the processor (and the build) has SSE. On a
// processor without SSE the switch has no effect.
inline bool useSsePath() { return kSseBuilt && settings().useAsm != 0 && sseAvailable; }

}  // namespace lumo
