// Whether the SSE twins can run here: built with SSE and on a processor that has it. Frames choose
// the SSE path once, from their parameters, and the call sites test that choice once per ray or per
// leaf, never per object.
#pragma once

namespace lumo {

#if defined(__SSE__)
inline constexpr bool kSseBuilt = true;
#else
inline constexpr bool kSseBuilt = false;
#endif

// processorHasSse(), taken once at program start.
extern const bool sseAvailable;

// True when a frame asking for the SSE path gets it; on a processor without SSE the wish has no effect.
inline bool sseUsable() { return kSseBuilt && sseAvailable; }

}  // namespace lumo
