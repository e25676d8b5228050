// Small hand-built scenes for the trace tests: a scene, a view of it and what one worker traces with.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/render_params.h"
#include "trace/trace.h"

namespace lumo::test {

inline const Box kUnitBox{{-2.0f, -2.0f, -2.0f}, {2.0f, 2.0f, 2.0f}};

// Builds a scene object by object (or takes a built one), then traces single rays through a view of it.
// The bits of a float, to compare results exactly (NaN and -0 included).
inline uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

struct TraceScene {
    std::unique_ptr<Scene> owned;
    Scene& scene;
    Material* material = nullptr;  // of the objects built here
    View view;
    RenderParams params;
    RayStats stats;
    std::vector<uint32_t> mailbox;  // the worker's camera-ray mailbox
    PrimaryRay ray;

    TraceScene() : TraceScene(std::make_unique<Scene>()) { material = &scene.newMaterial("Clay"); }
    // A built scene; the view starts with its camera.
    explicit TraceScene(std::unique_ptr<Scene> s) : owned(std::move(s)), scene(*owned) { view.camera = scene.camera; }
    TraceScene(const TraceScene&) = delete;
    TraceScene& operator=(const TraceScene&) = delete;

    SceneObject& sphere(Vec3 centre, float radiusSquared, uint16_t flags = 0) {
        SceneObject& o = scene.newObject();
        initSphere(o);
        o.sphere.centre = centre;
        o.sphere.radiusSquared = radiusSquared;
        o.flags = flags;
        o.material = material;
        return o;
    }
    SceneObject& parallelogram(Vec3 origin, Vec3 edgeA, Vec3 edgeB, uint16_t flags = 0) {
        SceneObject& o = scene.newObject();
        initPlanarPatch(o);
        o.type = kParallelogram;
        o.patch.origin = origin;
        o.patch.edgeA = edgeA;
        o.patch.edgeB = edgeB;
        prepareParallelogram(o);
        o.flags = flags;
        o.material = material;
        return o;
    }
    KdNode& leafOf(std::initializer_list<SceneObject*> objects) {
        KdNode& leaf = scene.newLeaf();
        for (SceneObject* o : objects) scene.append(leaf, *o);
        return leaf;
    }

    // Sets the scene's bounds and tree, then places the eye.
    void finish(const Box& bounds, KdNode& root, const Vec3& eye) {
        scene.bounds = bounds;
        scene.setTree(root);
        placeEye(eye);
    }
    // Prepares the view for `eye` (portable path) and clears the worker's mailbox, as a frame starts.
    void placeEye(const Vec3& eye) {
        view.camera.eyePosition = eye;
        prepareView(view, scene, 320, 240);
        mailbox.assign(scene.objectCount(), 0u);
        ray.mailbox = mailbox.data();
    }

    TraceContext context() {
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.params = &params;
        ctx.stats = &stats;
        return ctx;
    }

    // One camera ray from the eye along `direction`: the object hit, or null.
    const SceneObject* traceAlong(const Vec3& direction) {
        ray.direction = direction;
        return traceCameraRay(context(), view, ray) ? ray.nearest.object : nullptr;
    }
    const SceneObject* traceTowards(const Vec3& target) {
        return traceAlong(normalize(sub(target, view.camera.eyePosition)));
    }
    // Whether the last camera ray reached the object's entry of the mailbox.
    bool tested(const SceneObject& o) const { return mailbox[o.index] == ray.rayId; }
};

}  // namespace lumo::test
