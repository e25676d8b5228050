// A demo scene with a view, a renderer and frame parameters, set up the way a frame sets them up, for
// benchmarks that trace single camera samples or run single passes.
#pragma once

#include <memory>

#include "image/frame.h"
#include "scene/demo_scenes.h"
#include "simd/sse_path.h"

namespace lumo::bench {

struct BenchRender {
    std::unique_ptr<Scene> scene;
    View view;
    Renderer renderer;
    RenderParams params;  // the program's start values: Subsampling, one thread, Phong, no SSE
    RayStats stats;

    explicit BenchRender(int sceneId) : scene(buildScene(sceneId)) { view.camera = scene->camera; }

    // The eye on its orbit and the view prepared for width x height pictures, as renderFrame does it;
    // one render worker ready to trace (its mailbox sized for the scene).
    void prepareCamera(int width, int height) {
        placeEyeOnOrbit(view.camera);
        prepareView(view, *scene, width, height, sse());
        renderer.ensureWorkers(1);
        renderer.renderWorkers[0].startFrame(scene->objectCount());
    }
    PrimaryRay& cameraRay() { return renderer.renderWorkers[0].ray; }

    bool sse() const { return params.useSimd && sseUsable(); }
    TraceContext context() {
        TraceContext ctx;
        ctx.scene = scene.get();
        ctx.params = &params;
        ctx.stats = &stats;
        ctx.sse = sse();
        return ctx;
    }
};

}  // namespace lumo::bench
