#include "app/program.h"

#include "scene/demo_scenes.h"

namespace lumo {

Program& program() {
    static Program p;
    return p;
}

void loadScene(int sceneId) {
    std::unique_ptr<Scene> scene = buildScene(sceneId);
    if (!scene) return;
    camera() = scene->camera;
    program().scene = std::move(scene);
}

}  // namespace lumo
