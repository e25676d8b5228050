// Bringing the program up: the window-independent part of the start-up sequence.
#pragma once

namespace lumo {

struct Program;

// The start-up processor check: true when the processor runs the packet kernels (SSE4.1 or wider).
// A new Program keeps the answer in processorHasSse.
bool processorSupportsSse();

// After the window exists: the processor check (sets useAsm), the start settings, the renderer's
// time-out message, the Mirrorsphere scene. A Program made just before gives the state of a fresh run.
void startUp(Program& program);

}  // namespace lumo
