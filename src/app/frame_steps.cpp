#include "app/frame_steps.h"

#include "app/camera_orbit.h"
#include "app/program.h"
#include "app/settings.h"

namespace lumo {

RenderParams takeFrameState() {
    Program& p = program();
    const RenderSettings& s = settings();
    if (p.pendingScene) {
        p.scene = std::move(p.pendingScene);
        camera() = p.scene->camera;
    } else if (s.sceneId != 0 && (!p.scene || p.scene->id() != s.sceneId)) {
        loadScene(s.sceneId);
    }
    const Orbit& o = orbit();
    Camera& c = camera();
    c.cameraAzimuth = o.azimuth;
    c.cameraElevation = o.elevation;
    c.orbitRadius = o.distance;
    return renderParams(s);
}

void produceFrame(FrameBuffer& fb, const RenderParams& params, double animationClockMs, bool animate) {
    Program& p = program();
    if (!p.scene) return;
    produceFrame(p.renderer, *p.scene, p.view, params, fb, animationClockMs, animate);
}

}  // namespace lumo
