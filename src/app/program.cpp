#include "app/program.h"

#include "app/startup.h"
#include "scene/demo_scenes.h"

namespace lumo {

Program::Program(Platform& p) : platform(p), processorHasSse(processorSupportsSse()) {}

void loadScene(RenderThreadState& render, int sceneId) {
    std::unique_ptr<Scene> scene = buildScene(sceneId);
    if (!scene) return;
    render.view.camera = scene->camera;
    render.scene = std::move(scene);
}

}  // namespace lumo
