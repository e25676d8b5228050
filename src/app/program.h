// The one running program's world: its current scene, the view of it and the renderer. Owned by the
// thread that runs the frames; the UI changes it only through the settings and the orbit, which the
// frame loop takes over between frames.
#pragma once

#include <memory>

#include "image/frame.h"
#include "scene/scene.h"
#include "trace/view.h"

namespace lumo {

struct Program {
    std::unique_ptr<Scene> scene;
    // A scene read from a file, waiting for the next frame's start to become `scene` (programMutex()
    // held), so a frame never sees half of a change of scene.
    std::unique_ptr<Scene> pendingScene;
    View view;
    Renderer renderer;
};

Program& program();
inline Scene& currentScene() { return *program().scene; }
inline Camera& camera() { return program().view.camera; }

// Builds demo scene id (1..9), makes it the current scene and takes over its start camera. Unknown
// ids change nothing.
void loadScene(int sceneId);

}  // namespace lumo
