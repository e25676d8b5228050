// The trace entry points and typed ray queries, with what every traced ray carries along.
#pragma once

#include <cstdint>

#include "intersect/hit_record.h"
#include "scene/accel.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "trace/view.h"

namespace lumo {

struct PhotonBuffer;
struct RenderParams;

// Ray counts for measurement: camera samples traced and every ray cast (camera, secondary, photon,
// shadow). Each worker counts into its own.
struct RayStats {
    uint64_t samples = 0;
    uint64_t rays = 0;
    uint64_t tiles = 0;  // tiles of the frame passes this worker took (load balance)
};

// The walk a query takes: the scene's single leaf in SIMD form (then the flat tree where the leaf
// form cannot answer), the flat tree, the BVH with SIMD or portable box tests.
enum class TreeWalk : uint8_t { kDecide, kLeaf, kFlatTree, kBvh, kBvhScalar };

// What a traced ray and the callbacks it reaches read and write besides the ray itself: the scene,
// the frame's parameters (for the shaders), the worker's ray counts and photon buffer. One per
// worker; nothing in it is shared between threads but the scene and the parameters, which are
// read-only while rays run.
struct TraceContext {
    const Scene* scene = nullptr;
    const RenderParams* params = nullptr;
    RayStats* stats = nullptr;
    PhotonBuffer* photons = nullptr;  // photon passes: where this worker stores photons
    // The scene's single leaf in SIMD form for the nearest hits and occlusion of rays other than camera
    // rays; null: the scalar walk (the scalar level, or a tree of several leaves).
    const LeafShapes* leafShapes = nullptr;
    bool scalarBoxes = false;  // a BVH's boxes by the portable loop (the scalar level) rather than SIMD
    // Which walk the nearest-hit and occlusion queries take, chosen once per frame by chooseTreeWalks
    // from the fields above; kDecide: chosen at every query.
    TreeWalk nearestWalk = TreeWalk::kDecide;
    TreeWalk occlusionWalk = TreeWalk::kDecide;
};

// Sets ctx's walks from its scene, leafShapes and scalarBoxes (call again when one of them changes).
void chooseTreeWalks(TraceContext& ctx);

// A ray of a query: origin, unit direction and how far it reaches.
struct Ray {
    Vec3 origin;
    Vec3 direction;
    float maxDistance;
};

// Hit callback of traceRay: (context, excludeObject, medium, origin, direction, nearest hit, power, depth).
using HitCallback = Vec3 (*)(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium,
                             const Vec3& origin, const Vec3& direction, HitRecord hit, float power, int depth);

// Camera ray from the view's eye along ray.direction: ray.nearest becomes the nearest hit. True when
// something is hit at a positive distance. Counts a sample and a ray.
bool traceCameraRay(const TraceContext& ctx, const View& view, PrimaryRay& ray);

// Nearest hit along the ray (maxDistance is not a limit here), ignoring self-hits on excludeObject
// closer than 0.0001; distance -1 when nothing is hit. Counts no ray.
HitRecord nearestHit(const TraceContext& ctx, const Vec3& origin, const Vec3& direction,
                     const SceneObject* excludeObject);

// Whether something casting shadows blocks the ray before ray.maxDistance, leaving aside the light's
// own geometry `lightObject` and self-hits on `excludeObject`. Counts a ray.
bool occluded(const TraceContext& ctx, const Ray& ray, const SceneObject* excludeObject,
              const SceneObject* lightObject);

// Any other ray; the nearest hit goes to `callback`. Black when nothing is hit. Counts a ray.
Vec3 traceRay(const TraceContext& ctx, const SceneObject* excludeObject, const Material* medium, const Vec3& origin,
              const Vec3& direction, float power, HitCallback callback, int depth);

// Blocked fraction of a light seen from X: 1 fully shadowed, 0 fully lit.
float shadowFactor(const TraceContext& ctx, const SceneObject* excludeObject, const SceneObject* lightObject,
                   const Vec3& x, const Vec3& toLight, float lightDistance);
// Whether shadowFactor treats lightObject as a parallelogram area light.
inline bool isAreaLight(const SceneObject* lightObject) { return lightObject && lightObject->type == kParallelogram; }
// The corners of a parallelogram light in the order shadowFactor samples them: origin, +edgeA,
// +edgeA+edgeB, +edgeB.
inline void areaLightCorners(const PlanarPatch& p, Vec3 corners[4]) {
    const Vec3 c1 = add(p.origin, p.edgeA);
    corners[0] = p.origin, corners[1] = c1, corners[2] = add(c1, p.edgeB), corners[3] = add(p.origin, p.edgeB);
}

}  // namespace lumo
