// The BVH over objects of every kind and mesh triangles: it finds what testing every object and
// triangle finds, through every trace entry point, and the build gives the same tree on any thread
// count.
#include <gtest/gtest.h>

#include "intersect/intersect.h"
#include "intersect/watertight.h"
#include "scene/bvh.h"
#include "scene/kd_build.h"
#include "support/shape_maker.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

// The nearest hit of every object and mesh triangle tested in turn, as the walks accept hits (a mesh
// triangle at the same distance as another: the lower number).
HitRecord nearestOfAll(const Scene& s, const Vec3& origin, const Vec3& direction) {
    HitRecord nearest{};
    nearest.distance = -1.0f;
    for (const SceneObject& o : s.objects) {
        HitRecord hit{};
        intersectGeneral(o, origin, direction, hit);
        if (hit.distance >= 0.0f && (nearest.distance < 0.0f || hit.distance < nearest.distance)) {
            nearest = hit;
            nearest.object = const_cast<SceneObject*>(&o);
        }
    }
    const MeshStore& m = s.meshes;
    const ShearedRay r = shearRay(origin, direction);
    for (uint32_t t = 0; t < m.triangleCount(); ++t) {
        const uint32_t* i = m.triangle(t);
        const TriangleHit h = intersectWatertight(r, m.positions[i[0]], m.positions[i[1]], m.positions[i[2]]);
        if (h.distance < 0.0f) continue;
        if (nearest.distance < 0.0f || h.distance < nearest.distance ||
            (h.distance == nearest.distance && nearest.object->type == kMeshFaces && t < nearest.triangle)) {
            nearest = HitRecord{};
            nearest.distance = h.distance;
            nearest.object = m.object(t);
            nearest.triangle = t;
        }
    }
    return nearest;
}

void expectSameHit(const HitRecord& got, const HitRecord& want, int ray) {
    ASSERT_EQ(got.distance, want.distance) << "ray " << ray;
    if (want.distance < 0.0f) return;
    EXPECT_EQ(got.object, want.object) << "ray " << ray;
    if (want.object->type == kMeshFaces) {
        EXPECT_EQ(got.triangle, want.triangle) << "ray " << ray;
    }
}

TEST(BvhBuild, EveryShapeKindAndAMeshFoundAsByTestingEverything) {
    TraceScene t;
    Shapes g;
    g.addMixed(t.scene, 400, 1.2f);
    addRandomMesh(t.scene, g, 600, 1.2f, t.material);
    const BvhBuildStats stats = buildBvh(t.scene, 2);
    EXPECT_EQ(stats.primitives, 1000u);
    int hits = 0;
    for (int i = 0; i < 4000; ++i) {
        const Box& b = t.scene.bounds;
        const Vec3 inside{g.uniform(b.min.x, b.max.x), g.uniform(b.min.y, b.max.y), g.uniform(b.min.z, b.max.z)};
        const Vec3 origin = i % 2 ? inside : g.point(4.0f);
        const Vec3 d = i % 4 < 2 ? g.direction() : normalize(sub(g.point(1.0f), origin));
        const HitRecord want = nearestOfAll(t.scene, origin, d);
        hits += want.distance >= 0.0f;
        for (bool scalarBoxes : {false, true}) {
            TraceContext ctx = t.context();
            ctx.scalarBoxes = scalarBoxes;
            if (i % 2) chooseTreeWalks(ctx);  // as a frame does; else chosen at every query
            expectSameHit(nearestHit(ctx, origin, d, nullptr), want, i);
            const float reach = g.uniform(0.0f, 3.0f);
            EXPECT_EQ(occluded(ctx, Ray{origin, d, reach}, nullptr, nullptr),
                      want.distance > 0.0f && want.distance <= reach) << "ray " << i;
            if (i % 64 == 0) t.placeEye(origin);
            t.ray.direction = d;
            traceCameraRay(ctx, t.view, t.ray);
            expectSameHit(t.ray.nearest, nearestOfAll(t.scene, t.view.camera.eyePosition, d), i);
        }
    }
    EXPECT_GT(hits, 1000);
}

TEST(BvhBuild, SameTreeOnAnyThreadCount) {
    std::vector<uint8_t> first;
    std::vector<uint32_t> firstCorners, firstObjects;
    for (int threads : {1, 2, 3}) {
        TraceScene t;
        Shapes g;
        g.addMixed(t.scene, 300, 2.0f);
        addRandomMesh(t.scene, g, 30000, 2.0f, t.material);
        buildBvh(t.scene, threads);
        const auto* bytes = reinterpret_cast<const uint8_t*>(t.scene.bvh.nodes.data());
        const std::vector<uint8_t> tree(bytes, bytes + t.scene.bvh.nodes.size() * sizeof(BvhNode));
        if (first.empty()) {
            first = tree;
            firstCorners = t.scene.meshes.corners;
            firstObjects = t.scene.bvh.objects;
            EXPECT_GT(t.scene.bvh.nodes.size(), 30000u / 16);
        } else {
            EXPECT_EQ(tree, first) << threads << " threads";
            EXPECT_EQ(t.scene.meshes.corners, firstCorners) << threads << " threads";
            EXPECT_EQ(t.scene.bvh.objects, firstObjects) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace lumo::test
