#include "app/frame_steps.h"

#include "app/program.h"

namespace lumo {

RenderParams takeFrameState(Program& program) {
    SharedState& shared = program.shared;
    RenderThreadState& render = program.render;
    const RenderSettings& s = shared.settings;
    if (shared.pendingScene) {
        render.scene = std::move(shared.pendingScene);
        render.view.camera = render.scene->camera;
    } else if (s.sceneId != 0 && (!render.scene || render.scene->id() != s.sceneId)) {
        loadScene(render, s.sceneId);
    }
    const Orbit& o = shared.orbit;
    Camera& c = render.view.camera;
    c.cameraAzimuth = o.azimuth;
    c.cameraElevation = o.elevation;
    c.orbitRadius = o.distance;
    // Panned or flown: the scene's centre and look-at point moved (left alone otherwise, bit for bit).
    if (!o.unmoved() && render.scene) {
        const Camera& start = render.scene->camera;
        c.orbitCentre = add(start.orbitCentre, o.shift);
        c.lookAtPoint = o.lookAtCentre ? c.orbitCentre : add(start.lookAtPoint, o.shift);
    } else if (render.scene) {
        c.orbitCentre = render.scene->camera.orbitCentre;
        c.lookAtPoint = render.scene->camera.lookAtPoint;
    }
    return renderParams(s);
}

void renderCurrentScene(RenderThreadState& render, FrameBuffer& fb, const RenderParams& params,
                        double animationClockMs, bool animate) {
    if (!render.scene) return;
    produceFrame(render.renderer, *render.scene, render.view, params, fb, animationClockMs, animate);
}

}  // namespace lumo
