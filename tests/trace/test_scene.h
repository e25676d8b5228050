// Small hand-built scenes for the trace and shade tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/settings.h"
#include "scene/world.h"
#include "trace/trace.h"

namespace lumo::test {

// Builds a scene object by object, then installs it as the current scene.
struct SceneBuilder {
    std::unique_ptr<Scene> owned = std::make_unique<Scene>();
    Scene& scene = *owned;
    Material& material = scene.newMaterial("Clay");

    SceneObject& sphere(Vec3 centre, float radiusSquared, uint16_t flags = 0) {
        SceneObject& o = scene.newObject();
        initSphere(o);
        o.sphere.centre = centre;
        o.sphere.radiusSquared = radiusSquared;
        o.flags = flags;
        o.material = &material;
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
        o.material = &material;
        return o;
    }
    // Installs the scene with the given bounds and root; the eye is placed and the frame prepared.
    Scene& install(const Box& bounds, KdNode& root, const Vec3& eye) {
        scene.bounds = bounds;
        scene.root = &root;
        setScene(std::move(owned));
        camera().eyePosition = eye;
        prepareCameraFrame();
        return currentScene();
    }
};

inline const Box kUnitBox{{-2.0f, -2.0f, -2.0f}, {2.0f, 2.0f, 2.0f}};

// Records what the last shaded hit was; installed as currentShader by TraceTest.
struct ShadedHit {
    int calls = 0;
    SceneObject* object = nullptr;
    float distance = -1.0f;
};
inline ShadedHit& lastShaded() {
    static ShadedHit h;
    return h;
}
inline Vec3 recordingShader(const Vec3&, const Vec3&, HitRecord hit, const Material*, int) {
    ShadedHit& h = lastShaded();
    ++h.calls;
    h.object = hit.object;
    h.distance = hit.distance;
    return {1.0f, 1.0f, 1.0f};
}

class TraceTest : public testing::Test {
protected:
    void SetUp() override {
        savedShader = settings().currentShader;
        settings().currentShader = recordingShader;
        lastShaded() = {};
    }
    void TearDown() override { settings().currentShader = savedShader; }

    // One camera ray from the current eye towards `target`.
    Vec3 traceTowards(const Vec3& target, int slot = 0) {
        ray.slot = slot;
        ray.direction = normalize(sub(target, camera().eyePosition));
        return traceCameraRay(ray);
    }

    ShaderFn savedShader = nullptr;
    PrimaryRay ray{};
};

}  // namespace lumo::test
