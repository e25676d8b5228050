// The nine built-in demo scenes: their descriptors, their builders and their animation.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "scene/scene.h"

namespace lumo {

inline constexpr int kSceneCount = 9;

// Descriptors of the demo scenes in id order (1..9).
std::span<const SceneDescriptor> demoScenes();
// The descriptor of demo scene id 1..9, null for any other id.
const SceneDescriptor* findDemoScene(int sceneId);
// The id of the demo scene with this CLI name (case-insensitive, blanks for hyphens), 0 if none.
int demoSceneIdFromName(const std::string& name);

// Builds demo scene id (1..9) with its descriptor, start camera and light; null for any other id.
std::unique_ptr<Scene> buildScene(int sceneId);

// Moves the scene's animated objects (and its light) for clock t in milliseconds.
void animateScene(Scene& scene, double t);
// Whether animateScene moves anything in scene id (demo scenes 7 and 9 and scene files stand still).
bool sceneAnimates(int sceneId);

}  // namespace lumo
