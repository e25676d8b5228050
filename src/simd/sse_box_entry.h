// SSE twin of the camera form of the scene-box entry, and its classification of the eye.
#pragma once

#include "intersect/box_entry.h"

namespace lumo {

// The SSE path's rule: an eye coordinate equal to the box maximum counts as beyond it. Views of frames
// rendered on the SSE path classify their eye with this instead of classifyEye.
CameraBoxCache classifyEyeSse(const Box& box, const Vec3& eye);

// Entry of a camera ray into the box, read against the frame's cache: position and parameter into
// ray.candidate; negative = miss, 1.0 with position = eye = the eye is inside. An entry coordinate
// equal to the box maximum is outside the box. Out of line, once per ray.
void enterBoxCameraSse(const Box& box, const Vec3& eye, const CameraBoxCache& cache, PrimaryRay& ray);

}  // namespace lumo
