// A hand-built scene with the parameters and ray counts shaders are called with.
#pragma once

#include "core/render_params.h"
#include "scene/scene.h"
#include "trace/trace.h"

namespace lumo::test {

struct ShadeScene {
    Scene scene;
    Material& material = scene.newMaterial("Clay");
    RenderParams params;
    RayStats stats;

    SceneObject& parallelogram(Vec3 origin, Vec3 edgeA, Vec3 edgeB, uint16_t flags = 0) {
        SceneObject& o = scene.newObject();
        initPlanarPatch(o);
        o.type = kParallelogram;
        o.patch.origin = origin;
        o.patch.edgeA = edgeA;
        o.patch.edgeB = edgeB;
        prepareParallelogram(o);
        o.flags = flags;
        o.material = &material;
        return o;
    }
    // Point light at `position` with intensity 1.
    void pointLight(const Vec3& position) {
        scene.light = Light{};
        scene.light.position = position;
    }
    TraceContext context() {
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.params = &params;
        ctx.stats = &stats;
        return ctx;
    }
};

}  // namespace lumo::test
