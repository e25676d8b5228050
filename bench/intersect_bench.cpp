// Cost of one object test per shape, camera form (eye cache, mailbox) and general form.
#include <benchmark/benchmark.h>

#include "intersect/intersect.h"

namespace {

using namespace lumo;

Vec3 directionAt(int i) {
    const float x = -0.3f + 0.6f * static_cast<float>(i & 63) / 63.0f;
    const float y = -0.3f + 0.6f * static_cast<float>((i >> 6) & 63) / 63.0f;
    return normalize({x, y, 1.0f});
}

SceneObject benchObject(ShapeType type) {
    SceneObject o;
    switch (type) {
        case kSphere:
            initSphere(o);
            o.sphere.centre = {0, 0, 0};
            break;
        case kTorus:
            initTorus(o);
            break;
        case kRevolved:
            initRevolvedShape(o);
            rotateX(o.revolved.worldToLocal, 1.5707964f);
            break;
        case kDisc:  // not measured here: left without a shape
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection:
        case kDiscSector:
        case kMeshFaces: break;
        case kTriangle:
        case kParallelogram:
            initPlanarPatch(o);
            o.type = type;
            o.patch.origin = {-1, -1, 0};
            o.patch.edgeA = {2, 0, 0};
            o.patch.edgeB = {0, 2, 0};
            prepareParallelogram(o);
            break;
    }
    return o;
}

void BM_IntersectPrimary(benchmark::State& state) {
    const ShapeType type = static_cast<ShapeType>(state.range(0));
    const SceneObject o = benchObject(type);  // index 0: its eye cache and mailbox entry come first
    EyeCache cache;
    const CameraEye eye{{0, 0, -4}, &cache};
    refreshCameraCache(o, eye.eye, cache);
    uint32_t mailbox[1] = {0};
    PrimaryRay ray;
    ray.mailbox = mailbox;
    ray.rayId = 0;
    int i = 0;
    for (auto _ : state) {
        ray.direction = directionAt(i++);
        ++ray.rayId;
        intersectPrimary(ray, o, eye);
        benchmark::DoNotOptimize(ray.candidate.distance);
    }
}
BENCHMARK(BM_IntersectPrimary)->Arg(kTriangle)->Arg(kParallelogram)->Arg(kSphere)->Arg(kRevolved)->Arg(kTorus);

void BM_IntersectGeneral(benchmark::State& state) {
    const ShapeType type = static_cast<ShapeType>(state.range(0));
    const SceneObject o = benchObject(type);
    const Vec3 origin{0.05f, -0.02f, -4.0f};
    HitRecord hit;
    int i = 0;
    for (auto _ : state) {
        intersectGeneral(o, origin, directionAt(i++), hit);
        benchmark::DoNotOptimize(hit.distance);
    }
}
BENCHMARK(BM_IntersectGeneral)->Arg(kTriangle)->Arg(kSphere)->Arg(kRevolved)->Arg(kTorus);

}  // namespace
