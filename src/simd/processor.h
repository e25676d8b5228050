// Processor capability check for the SSE twins of the hottest routines.
#pragma once

namespace lumo {

// True when the processor executes SSE single-precision instructions (always so on x86-64).
bool processorHasSse();

}  // namespace lumo
