#include "trace/trace.h"

#include "app/settings.h"
#include "intersect/intersect.h"
#include "scene/world.h"
#include "simd/sse_box_entry.h"
#include "simd/sse_dispatch.h"
#include "trace/box_entry.h"
#include "trace/traverse.h"

namespace lumo {

namespace {
thread_local RayStats fallbackRayStats;
}  // namespace

thread_local RayStats* rayStats = &fallbackRayStats;

Vec3 traceCameraRay(PrimaryRay& ray) {
    ++rayStats->samples;
    ++rayStats->rays;
    ray.nearest.distance = -1.0f;
    if (++ray.rayId == 0) ray.rayId = 1;  // 0 is the cleared mailbox value

    const Scene& scene = currentScene();
    const Vec3 eye = camera().eyePosition;
    // The SSE twins are out of line; [[unlikely]] keeps the portable calls inlined as they were.
    const bool sse = useSsePath();
    if (SceneObject* free = scene.freeObject) {
        if (sse) [[unlikely]]
            intersectPrimarySse(ray, *free);
        else
            intersectPrimary(ray, *free);
        ray.candidate.object = free;
        ray.nearest = ray.candidate;
    }
    if (sse) [[unlikely]]
        enterBoxCameraSse(scene.bounds, eye, ray);
    else
        enterBox(scene.bounds, eye, ray);
    if (ray.candidate.distance > 0.0f) {
        if (sse) [[unlikely]]
            traverseCamera<true>(ray, scene.root, ray.candidate.position, scene.bounds.min, scene.bounds.max, eye);
        else
            traverseCamera(ray, scene.root, ray.candidate.position, scene.bounds.min, scene.bounds.max, eye);
    }
    if (ray.nearest.distance > 0.0f)
        return settings().currentShader(eye, ray.direction, ray.nearest, &airMedium, 0);
    return {0.0f, 0.0f, 0.0f};
}

Vec3 traceRay(PhotonBuffer* photonBuffer, const SceneObject* excludeObject, const Material* medium,
              const Vec3& origin, const Vec3& direction, float power, HitCallback shader, int depth) {
    ++rayStats->rays;
    const Scene& scene = currentScene();
    HitRecord candidate{};
    HitRecord nearest{};
    nearest.distance = -1.0f;
    const bool sse = useSsePath();
    SceneObject* free = scene.freeObject;
    if (free && free != excludeObject) {
        if (sse) [[unlikely]]
            intersectGeneralSse(*free, origin, direction, candidate);
        else
            intersectGeneral(*free, origin, direction, candidate);
        candidate.object = free;
        nearest = candidate;
    }
    enterBox(scene.bounds, origin, direction, candidate);
    if (candidate.distance > 0.0f) {
        if (sse) [[unlikely]]
            traverseGeneral<true>(scene.root, candidate.position, origin, direction, nearest, nullptr, excludeObject,
                                  0.0f, scene.bounds.min, scene.bounds.max);
        else
            traverseGeneral(scene.root, candidate.position, origin, direction, nearest, nullptr, excludeObject, 0.0f,
                            scene.bounds.min, scene.bounds.max);
    }
    if (nearest.distance > 0.0f)
        return shader(excludeObject, medium, origin, direction, nearest, power, depth, photonBuffer);
    return {0.0f, 0.0f, 0.0f};
}

void prepareCameraFrame() {
    World& w = world();
    if (!w.scene) return;
    Scene& scene = *w.scene;
    const auto prepare = [](SceneObject& object) {
        refreshCameraCache(object);
        for (MailboxEntry& entry : object.mailboxRayId) entry = 0;
    };
    for (SceneObject& object : scene.objects) prepare(object);
    if (scene.freeObject) prepare(*scene.freeObject);
    if (useSsePath())  // the SSE box entry classifies an eye on the box maximum as beyond it
        refreshCameraBoxCacheSse();
    else
        refreshCameraBoxCache();
}

}  // namespace lumo
