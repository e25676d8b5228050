// The nine built-in demo scenes and their animation.
#pragma once

#include <memory>

#include "scene/world.h"

namespace lumo {

inline constexpr int kSceneCount = 9;

// Builds scene id (1..9) into a new Scene; sets the camera's look-at, field of view and orbit angles,
// rewrites the single light record and sends the window title through the platform seam.
std::unique_ptr<Scene> buildScene(int sceneId);
// buildScene followed by setScene.
void loadScene(int sceneId);

// Moves the current scene's animated objects (and the light) for clock t in milliseconds.
void animateScene(double t);

}  // namespace lumo
