// The one running program's world: its current scene, the view of it and the renderer. Written on
// the UI thread between frames.
#pragma once

#include <memory>

#include "image/frame.h"
#include "scene/scene.h"
#include "trace/view.h"

namespace lumo {

struct Program {
    std::unique_ptr<Scene> scene;
    View view;
    Renderer renderer;
};

Program& program();
inline Scene& currentScene() { return *program().scene; }
inline Camera& camera() { return program().view.camera; }

// Builds demo scene id (1..9), makes it the current scene, takes over its start camera and shows its
// title. Unknown ids change nothing.
void loadScene(int sceneId);

}  // namespace lumo
