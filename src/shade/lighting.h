// Constants of the lighting model.
#pragma once

#include "core/vec3.h"

namespace lumo {

inline constexpr Vec3 ambientLight{0.4f, 0.4f, 0.4f};
// Secondary rays whose weight is at or below this are not traced.
inline constexpr float minContribution = 0.01f;
// Wavelength of camera rays, nanometres.
inline constexpr float currentWavelength = 555.0f;
// Recursion limit: rays at this depth spawn no further rays.
inline constexpr int maxRayDepth = 3;

}  // namespace lumo
