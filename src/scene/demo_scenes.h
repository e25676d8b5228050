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

// The demo scenes by id in the Demo menu's order. A scene's number, wherever a user sees one (keys 1..9,
// --scene N, the summary's scene), is its place in this list.
inline constexpr int kDemoMenuOrder[kSceneCount] = {1, 6, 2, 5, 3, 8, 4, 7, 9};

// The number (1..9) of demo scene id, 0 for any other id.
constexpr int demoSceneNumber(int sceneId) {
    for (int i = 0; i < kSceneCount; ++i)
        if (kDemoMenuOrder[i] == sceneId) return i + 1;
    return 0;
}
// The id of the demo scene numbered `number` (1..9), 0 for any other number.
constexpr int demoSceneAt(int number) { return number >= 1 && number <= kSceneCount ? kDemoMenuOrder[number - 1] : 0; }

// Whether animateScene moves anything in demo scene id (Area Light and Cornell Box stand still).
constexpr bool demoSceneMoves(int sceneId) { return sceneId >= 1 && sceneId <= kSceneCount && sceneId != 7 && sceneId != 9; }

}  // namespace lumo
