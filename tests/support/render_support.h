// A scene, a view and a renderer side by side, for tests that trace or render whole pictures.
#pragma once

#include <memory>

#include "image/frame.h"
#include "scene/demo_scenes.h"
#include "trace/trace.h"

namespace lumo::test {

struct TestRender {
    std::unique_ptr<Scene> scene;
    View view;
    Renderer renderer;
    RenderParams params;  // the program's start values: Subsampling, one thread, Phong
    RayStats stats;       // what traces through context() count into

    // Demo scene id with its start camera and the photon switches and kernel its selection sets.
    explicit TestRender(int sceneId) : TestRender(buildScene(sceneId)) {
        const SceneDescriptor& d = scene->descriptor;
        params.photons.interpolationKernel = d.interpolationKernel;
        params.photons.causticsCalculate = params.photons.causticsDisplay = d.causticsOnSelect;
        params.photons.giCalculate = params.photons.giDisplay = d.giOnSelect;
    }
    // A hand-built scene; the view starts with the scene's camera.
    explicit TestRender(std::unique_ptr<Scene> s) : scene(std::move(s)) { view.camera = scene->camera; }

    // One frame as the program makes it, at clock t (ms) with the animation on.
    FrameBuffer frame(int width, int height, double t = 0.0, bool animate = true) {
        FrameBuffer fb;
        fb.resize(width, height);
        produceFrame(renderer, *scene, view, params, fb, t, animate);
        return fb;
    }

    // The view prepared for an eye placed by hand, for tracing single rays through context() with
    // cameraRay(): worker 0 starts a frame.
    void placeEye(const Vec3& eye, int width = 320, int height = 240) {
        view.camera.eyePosition = eye;
        prepareView(view, *scene, width, height);
        renderer.ensureWorkers(1);
        renderer.renderWorkers[0].startFrame(scene->objectCount());
    }
    // The same with the eye on its orbit, as a frame places it.
    void orbitEye(int width, int height) {
        placeEyeOnOrbit(view.camera);
        placeEye(view.camera.eyePosition, width, height);
    }
    PrimaryRay& cameraRay() { return renderer.renderWorkers[0].ray; }
    TraceContext context() {
        TraceContext ctx;
        ctx.scene = scene.get();
        ctx.params = &params;
        ctx.stats = &stats;
        return ctx;
    }
};

// A camera ray with a mailbox for every object of a scene.
struct TestCameraRay {
    RenderWorker worker;
    explicit TestCameraRay(const Scene& scene) { worker.startFrame(scene.objectCount()); }
    PrimaryRay& ray() { return worker.ray; }
};

}  // namespace lumo::test
