// Steers the sampling thresholds towards a target frame rate.
#pragma once

#include <cstdint>

namespace lumo {

// Moves the base threshold T = thresholds[1] by about 5 % per frame-per-second of error (at least one
// step, never above 256, never by a drop to zero or below) and derives elements 0, 2, 3 and 4 from it.
void adaptThresholds(int16_t thresholds[5], int targetFps, float measuredFps);

}  // namespace lumo
