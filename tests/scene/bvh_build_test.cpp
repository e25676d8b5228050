// The BVH over objects of every kind and mesh triangles: it finds what testing every object and
// triangle finds, through every trace entry point, every box is the exact box of what lies below it,
// and the build gives the same tree on any thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

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

constexpr float kInf = std::numeric_limits<float>::infinity();

void grow(Box& box, const Box& b) {
    box.min = {std::min(box.min.x, b.min.x), std::min(box.min.y, b.min.y), std::min(box.min.z, b.min.z)};
    box.max = {std::max(box.max.x, b.max.x), std::max(box.max.y, b.max.y), std::max(box.max.z, b.max.z)};
}

// Checks that each slot of the node holds the exact box of its entries (counted in `seen`:
// triangles, then objects) and returns the union.
Box checkBoxes(const Scene& s, uint32_t index, std::vector<int>& seen) {
    const BvhNode& node = s.bvh.nodes[index];
    const MeshStore& m = s.meshes;
    Box all{{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}};
    for (int k = 0; k < kBvhWidth; ++k) {
        if (!(node.lo[0][k] <= node.hi[0][k])) continue;
        const uint32_t count = node.count[k] & ~kBvhObjectLeaf;
        Box box = count == 0 ? checkBoxes(s, node.child[k], seen) : Box{{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}};
        for (uint32_t e = node.child[k]; e < node.child[k] + count; ++e) {
            if (node.count[k] & kBvhObjectLeaf) {
                Box b;
                EXPECT_TRUE(objectBounds(s.object(s.bvh.objects[e]), b));
                grow(box, b);
                ++seen[m.triangleCount() + s.bvh.objects[e]];
            } else {
                for (int j = 0; j < 3; ++j) grow(box, {m.positions[m.triangle(e)[j]], m.positions[m.triangle(e)[j]]});
                ++seen[e];
            }
        }
        const float want[2][3] = {{box.min.x, box.min.y, box.min.z}, {box.max.x, box.max.y, box.max.z}};
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(node.lo[a][k], want[0][a]) << "node " << index << " slot " << k << " axis " << a;
            EXPECT_EQ(node.hi[a][k], want[1][a]) << "node " << index << " slot " << k << " axis " << a;
        }
        grow(all, box);
    }
    return all;
}

TEST(BvhBuild, EveryBoxIsTheExactBoxOfItsEntries) {
    TraceScene t;
    Shapes g;
    g.addMixed(t.scene, 200, 2.0f);
    addRandomMesh(t.scene, g, 70000, 2.0f, t.material);  // large enough for the root to bin on both threads
    buildBvh(t.scene, 2);
    const Scene& s = t.scene;
    std::vector<int> seen(s.meshes.triangleCount() + s.objectCount(), 0);
    checkBoxes(s, 0, seen);
    // Every triangle and every object but the mesh part in exactly one leaf.
    const size_t triangles = s.meshes.triangleCount();
    for (size_t e = 0; e < seen.size(); ++e) {
        const bool part = e >= triangles && s.object(static_cast<uint32_t>(e - triangles)).type == kMeshFaces;
        EXPECT_EQ(seen[e], part ? 0 : 1) << "entry " << e;
    }
}

// A sphere of rows x 2 rows quads of two triangles, in row order: neighbours in memory are
// neighbours in space, as in meshes read from files.
void addSphereMesh(Scene& s, int rows, const Material* m) {
    SceneObject& part = s.newMeshPart(m, 0);
    MeshStore& store = s.meshes;
    const uint32_t first = static_cast<uint32_t>(store.positions.size());
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j < 2 * rows; ++j) {
            const float theta = 3.14159265f * static_cast<float>(i) / static_cast<float>(rows);
            const float phi = 3.14159265f * static_cast<float>(j) / static_cast<float>(rows);
            const float r = std::sin(theta);
            store.positions.push_back({r * std::cos(phi), r * std::sin(phi), std::cos(theta)});
        }
    const auto at = [&](int i, int j) { return first + static_cast<uint32_t>(i * 2 * rows + j % (2 * rows)); };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < 2 * rows; ++j) {
            store.corners.insert(store.corners.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            store.corners.insert(store.corners.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
            store.parts.insert(store.parts.end(), 2, static_cast<uint16_t>(part.faces.part));
            part.faces.triangleCount += 2;
        }
}

TEST(BvhBuild, SameTreeOnAnyThreadCount) {
    std::vector<uint8_t> first;
    std::vector<uint32_t> firstCorners, firstObjects;
    for (int threads : {1, 2, 3}) {
        TraceScene t;
        Shapes g;
        g.addMixed(t.scene, 300, 2.0f);
        addSphereMesh(t.scene, 190, t.material);  // 144,400 triangles: the top splits binned on all threads
        buildBvh(t.scene, threads);
        const auto* bytes = reinterpret_cast<const uint8_t*>(t.scene.bvh.nodes.data());
        const std::vector<uint8_t> tree(bytes, bytes + t.scene.bvh.nodes.size() * sizeof(BvhNode));
        if (first.empty()) {
            first = tree;
            firstCorners = t.scene.meshes.corners;
            firstObjects = t.scene.bvh.objects;
            EXPECT_GT(t.scene.bvh.nodes.size(), 144400u / 16);
        } else {
            EXPECT_EQ(tree, first) << threads << " threads";
            EXPECT_EQ(t.scene.meshes.corners, firstCorners) << threads << " threads";
            EXPECT_EQ(t.scene.bvh.objects, firstObjects) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace lumo::test
