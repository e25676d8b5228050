// Bringing the program up: the window-independent part of the start-up sequence.
#pragma once

namespace lumo {

// The start-up processor check: true when the processor runs the packet kernels (SSE4.1 or wider).
bool processorSupportsSse();
// Tests pretend a processor with (1) or without (0) SSE; -1 restores the real answer.
void overrideProcessorSse(int hasSse);

// After the window exists: the processor check (sets useAsm), the start settings, the renderer's
// time-out message, the Mirrorsphere scene.
void startUp();

// Everything the application owns back to the values before start-up: settings, camera angles, the
// frame timer and the drag state. Followed by startUp() it gives the state of a fresh run.
void resetToStaticValues();
void resetToStartup();

}  // namespace lumo
