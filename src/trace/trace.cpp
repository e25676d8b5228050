#include "trace/trace.h"

#include "intersect/box_entry.h"
#include "intersect/intersect.h"
#include "trace/traverse.h"

namespace lumo {

bool traceCameraRay(const TraceContext& ctx, const View& view, PrimaryRay& ray) {
    ++ctx.stats->samples;
    ++ctx.stats->rays;
    // The scratch record starts clean: fields a shape's test leaves alone (a sphere's u and v) must not
    // carry over from the worker's previous ray, or the picture would depend on the order of the rays.
    ray.candidate = HitRecord{};
    ray.nearest.distance = -1.0f;
    if (++ray.rayId == 0) ray.rayId = 1;  // 0 is the cleared mailbox value

    const Scene& scene = *ctx.scene;
    const CameraEye eye = view.cameraEye();
    if (SceneObject* free = scene.freeObject) {
        intersectPrimary(ray, *free, eye);
        ray.candidate.object = free;
        ray.nearest = ray.candidate;
    }
    if (scene.usesBvh) {  // walked from the eye: the root's boxes hold everything
        traverseCamera(ray, scene, eye.eye, eye, ctx.scalarBoxes);
        return ray.nearest.distance > 0.0f;
    }
    enterBox(scene.bounds, eye.eye, view.box, ray);
    if (ray.candidate.distance > 0.0f)
        traverseCamera(ray, scene, ray.candidate.position, eye);
    return ray.nearest.distance > 0.0f;
}

namespace {

// The free object's hit, then the tree's where the ray meets the scene box. `leaf`: the tree's single
// leaf in SIMD form, or null.
template <bool kLeafShapes>
HitRecord nearestHitFrom(const Scene& scene, const LeafShapes* leaf, const Vec3& origin, const Vec3& direction,
                         const SceneObject* excludeObject, bool scalarBoxes) {
    HitRecord candidate{};
    HitRecord nearest{};
    nearest.distance = -1.0f;
    SceneObject* free = scene.freeObject;
    if (free && free != excludeObject) {
        intersectGeneral(*free, origin, direction, candidate);
        candidate.object = free;
        nearest = candidate;
    }
    enterBox(scene.bounds, origin, direction, candidate);
    if (candidate.distance > 0.0f) {
        if (kLeafShapes && nearestInLeaf(*leaf, origin, direction, nearest, excludeObject)) return nearest;
        traverseNearest(scene, candidate.position, origin, direction, nearest, excludeObject, scalarBoxes);
    }
    return nearest;
}

// The two walks apart, so that the ray's entry point only chooses and neither walk pays for the
// other's registers.
[[gnu::noinline]] HitRecord nearestHitInLeaf(const Scene& scene, const LeafShapes* leaf, const Vec3& origin,
                                             const Vec3& direction, const SceneObject* excludeObject) {
    return nearestHitFrom<true>(scene, leaf, origin, direction, excludeObject, false);
}
[[gnu::noinline]] HitRecord nearestHitInTree(const Scene& scene, const Vec3& origin, const Vec3& direction,
                                             const SceneObject* excludeObject, bool scalarBoxes) {
    return nearestHitFrom<false>(scene, nullptr, origin, direction, excludeObject, scalarBoxes);
}

}  // namespace

HitRecord nearestHit(const TraceContext& ctx, const Vec3& origin, const Vec3& direction,
                     const SceneObject* excludeObject) {
    const Scene& scene = *ctx.scene;
    const LeafShapes* leaf = ctx.leafShapes;
    if (leaf && leaf->tree == &scene.tree) return nearestHitInLeaf(scene, leaf, origin, direction, excludeObject);
    return nearestHitInTree(scene, origin, direction, excludeObject, ctx.scalarBoxes);
}

bool occluded(const TraceContext& ctx, const Ray& ray, const SceneObject* excludeObject,
              const SceneObject* lightObject) {
    ++ctx.stats->rays;
    const Scene& scene = *ctx.scene;
    const LeafShapes* leaf = ctx.leafShapes;
    if (leaf && leaf->blockersPacked && leaf->tree == &scene.tree)
        return firstBlockerInLeaf(*leaf, ray.origin, ray.direction, ray.maxDistance, lightObject, excludeObject) > 0.0f;
    // Shadow rays leave a surface point inside the scene box: the walk starts there, at the root.
    const float blocker =
        traverseOcclusion(scene, ray.origin, ray.direction, ray.maxDistance, lightObject, excludeObject, ctx.scalarBoxes);
    return blocker > 0.0f;
}

Vec3 traceRay(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium, const Vec3& origin,
              const Vec3& direction, float power, HitCallback callback, int depth) {
    ++ctx.stats->rays;
    const Scene& scene = *ctx.scene;
    const LeafShapes* leaf = ctx.leafShapes;
    const HitRecord nearest = leaf && leaf->tree == &scene.tree
                                  ? nearestHitInLeaf(scene, leaf, origin, direction, excludeObject)
                                  : nearestHitInTree(scene, origin, direction, excludeObject, ctx.scalarBoxes);
    if (nearest.distance > 0.0f) return callback(ctx, excludeObject, medium, origin, direction, nearest, power, depth);
    return {0.0f, 0.0f, 0.0f};
}

}  // namespace lumo
