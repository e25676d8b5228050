// Photon-map estimate read by the shaders.
#pragma once

#include "core/vec3.h"
#include "scene/scene_object.h"

namespace lumo {

// Light deposited by photons at surface parameters (u, v) of object, per unit of world area.
// Black unless the object is a parallelogram with a photon tree and a photon display is on.
Vec3 photonEstimate(const SceneObject* object, float u, float v);

}  // namespace lumo
