// SSE twin of the camera form of the scene-box entry, and the classification of the eye that both
// camera forms share through the per-frame camera box cache.
#pragma once

#include "trace/box_entry.h"

namespace lumo {

// Fills cameraBoxCache with the SSE path's rule: an eye coordinate equal to the box maximum counts
// as beyond it. Called instead of refreshCameraBoxCache for frames rendered on the SSE path.
void refreshCameraBoxCacheSse();

// Entry of a camera ray into the box, read against cameraBoxCache: position and parameter into
// ray.candidate; negative = miss, 1.0 with position = eye = the eye is inside. An entry coordinate
// equal to the box maximum is outside the box. Out of line, once per ray.
void enterBoxCameraSse(const Box& box, const Vec3& eye, PrimaryRay& ray);

}  // namespace lumo
