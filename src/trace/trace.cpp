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

void chooseTreeWalks(TraceContext& ctx) {
    const Scene& scene = *ctx.scene;
    const LeafShapes* leaf = ctx.leafShapes;
    const TreeWalk tree = scene.usesBvh ? (ctx.scalarBoxes ? TreeWalk::kBvhScalar : TreeWalk::kBvh) : TreeWalk::kFlatTree;
    const bool inLeaf = leaf && leaf->tree == &scene.tree;
    ctx.nearestWalk = inLeaf ? TreeWalk::kLeaf : tree;
    ctx.occlusionWalk = inLeaf && leaf->blockersPacked ? TreeWalk::kLeaf : tree;
}

namespace {

// The walk a query of ctx takes when ctx has not chosen.
[[gnu::noinline, gnu::cold]] TreeWalk decideWalk(const TraceContext& ctx, bool occlusion) {
    TraceContext c = ctx;
    chooseTreeWalks(c);
    return occlusion ? c.occlusionWalk : c.nearestWalk;
}

// The free object's hit, then the tree's where the ray meets the scene box. `leaf`: the tree's single
// leaf in SIMD form (kLeaf), or null.
template <TreeWalk kWalk>
HitRecord nearestHitFrom(const Scene& scene, const LeafShapes* leaf, const Vec3& origin, const Vec3& direction,
                         const SceneObject* excludeObject) {
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
        if constexpr (kWalk == TreeWalk::kBvh || kWalk == TreeWalk::kBvhScalar) {
            bvhNearestWalk<kWalk == TreeWalk::kBvh>(scene, origin, direction, nearest, excludeObject);
        } else {
            if (kWalk == TreeWalk::kLeaf && nearestInLeaf(*leaf, origin, direction, nearest, excludeObject)) return nearest;
            flatTreeNearest(scene, candidate.position, origin, direction, nearest, excludeObject);
        }
    }
    return nearest;
}

// The walks apart, so that the ray's entry point only chooses and no walk pays for another's
// registers.
template <TreeWalk kWalk>
[[gnu::noinline]] HitRecord nearestHitBy(const Scene& scene, const LeafShapes* leaf, const Vec3& origin,
                                         const Vec3& direction, const SceneObject* excludeObject) {
    return nearestHitFrom<kWalk>(scene, leaf, origin, direction, excludeObject);
}

// The BVH's walks and the queries of a context that has not chosen, apart from the flat tree's.
[[gnu::noinline]] HitRecord nearestHitOther(const TraceContext& ctx, TreeWalk walk, const Vec3& origin,
                                            const Vec3& direction, const SceneObject* excludeObject) {
    if (walk == TreeWalk::kDecide) walk = decideWalk(ctx, false);
    const Scene& scene = *ctx.scene;
    switch (walk) {
        case TreeWalk::kFlatTree: return nearestHitBy<TreeWalk::kFlatTree>(scene, nullptr, origin, direction, excludeObject);
        case TreeWalk::kLeaf: return nearestHitBy<TreeWalk::kLeaf>(scene, ctx.leafShapes, origin, direction, excludeObject);
        case TreeWalk::kBvh: return nearestHitBy<TreeWalk::kBvh>(scene, nullptr, origin, direction, excludeObject);
        case TreeWalk::kBvhScalar:
            return nearestHitBy<TreeWalk::kBvhScalar>(scene, nullptr, origin, direction, excludeObject);
        case TreeWalk::kDecide: break;
    }
    return HitRecord{};  // not reached: decideWalk always chooses
}

// The flat tree's walks, the demo scenes', first.
[[gnu::always_inline]] inline HitRecord nearestHitOf(const TraceContext& ctx, TreeWalk walk, const Vec3& origin,
                                                     const Vec3& direction, const SceneObject* excludeObject) {
    if (walk == TreeWalk::kFlatTree)
        return nearestHitBy<TreeWalk::kFlatTree>(*ctx.scene, nullptr, origin, direction, excludeObject);
    if (walk == TreeWalk::kLeaf)
        return nearestHitBy<TreeWalk::kLeaf>(*ctx.scene, ctx.leafShapes, origin, direction, excludeObject);
    return nearestHitOther(ctx, walk, origin, direction, excludeObject);
}

}  // namespace

HitRecord nearestHit(const TraceContext& ctx, const Vec3& origin, const Vec3& direction,
                     const SceneObject* excludeObject) {
    return nearestHitOf(ctx, ctx.nearestWalk, origin, direction, excludeObject);
}

namespace {

[[gnu::noinline]] float firstBlockerInBvh(const TraceContext& ctx, TreeWalk walk, const Ray& ray,
                                         const SceneObject* excludeObject, const SceneObject* lightObject) {
    const Scene& scene = *ctx.scene;
    if (walk == TreeWalk::kBvhScalar)
        return bvhOcclusionWalk<false>(scene, ray.origin, ray.direction, ray.maxDistance, lightObject, excludeObject);
    return bvhOcclusionWalk<true>(scene, ray.origin, ray.direction, ray.maxDistance, lightObject, excludeObject);
}

// Shadow rays leave a surface point inside the scene box: the walks start there, at the root.
[[gnu::always_inline]] inline float firstBlocker(const TraceContext& ctx, TreeWalk walk, const Ray& ray,
                                                 const SceneObject* excludeObject, const SceneObject* lightObject) {
    if (walk == TreeWalk::kDecide) [[unlikely]]
        walk = decideWalk(ctx, true);
    if (walk == TreeWalk::kFlatTree)
        return flatTreeOcclusion(*ctx.scene, ray.origin, ray.direction, ray.maxDistance, lightObject, excludeObject);
    if (walk == TreeWalk::kLeaf)
        return firstBlockerInLeaf(*ctx.leafShapes, ray.origin, ray.direction, ray.maxDistance, lightObject,
                                  excludeObject);
    return firstBlockerInBvh(ctx, walk, ray, excludeObject, lightObject);
}

}  // namespace

bool occluded(const TraceContext& ctx, const Ray& ray, const SceneObject* excludeObject,
              const SceneObject* lightObject) {
    ++ctx.stats->rays;
    return firstBlocker(ctx, ctx.occlusionWalk, ray, excludeObject, lightObject) > 0.0f;
}

Vec3 traceRay(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium, const Vec3& origin,
              const Vec3& direction, float power, HitCallback callback, int depth) {
    ++ctx.stats->rays;
    const HitRecord nearest = nearestHitOf(ctx, ctx.nearestWalk, origin, direction, excludeObject);
    if (nearest.distance > 0.0f) return callback(ctx, excludeObject, medium, origin, direction, nearest, power, depth);
    return {0.0f, 0.0f, 0.0f};
}

}  // namespace lumo
