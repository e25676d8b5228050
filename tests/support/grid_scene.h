// Random scenes on a grid of quarter units, for the walks' split-plane cases: split planes, triangle
// corners and ray origins share coordinates, so origins, entries and crossings land exactly on planes
// and cell faces. Besides, what a loop over all objects answers for a ray.
#pragma once

#include <random>

#include "scene/kd_build.h"
#include "simd/camera_packets.h"
#include "support/trace_scene.h"

namespace lumo::test {

inline float gridCoordinate(std::mt19937& random) { return 0.25f * static_cast<float>(static_cast<int>(random() % 13) - 6); }

// Objects whose boxes overlap the cell [lo, hi] go into its leaf, as a builder may place them: an
// object only touching the cell's face is left out, and one lying flat in a split plane goes above it
// only. Otherwise the cell is split at a grid coordinate, to depth 4.
inline KdNode& gridTree(TraceScene& t, std::mt19937& random, Vec3 lo, Vec3 hi, int depth) {
    const int axis = static_cast<int>(random() % 3);
    const float split = gridCoordinate(random);
    if (depth < 4 && axisValue(lo, axis) < split && split < axisValue(hi, axis)) {
        Vec3 belowHi = hi, aboveLo = lo;
        setAxisValue(belowHi, axis, split);
        setAxisValue(aboveLo, axis, split);
        KdNode& below = gridTree(t, random, lo, belowHi, depth + 1);
        KdNode& above = gridTree(t, random, aboveLo, hi, depth + 1);
        return t.scene.newSplit(axis + 1, split, below, above);
    }
    KdNode& leaf = t.scene.newLeaf();
    for (SceneObject& o : t.scene.objects) {
        Box b;
        if (!objectBounds(o, b)) continue;
        bool meets = true;
        for (int a = 0; a < 3; ++a) {
            const float bLo = axisValue(b.min, a), bHi = axisValue(b.max, a), l = axisValue(lo, a), h = axisValue(hi, a);
            meets = meets && (bLo == bHi ? l <= bLo && bLo < h : bLo < h && l < bHi);
        }
        if (meets) t.scene.append(leaf, o);
    }
    return leaf;
}

// Triangles with grid corners (some lying in a grid plane), parallelograms and small spheres, some
// casting no shadow, under a tree of grid splits in the box [-2.9, 2.9]^3, which holds every object
// (corners reach 2.75); a walk never looks outside the scene box.
inline void buildGridScene(TraceScene& t, std::mt19937& random) {
    for (int i = 0; i < 14; ++i) {
        const Vec3 p{gridCoordinate(random), gridCoordinate(random), gridCoordinate(random)};
        SceneObject* o;
        if (i % 4 == 3) {
            o = &t.sphere(p, 0.04f);
        } else {
            Vec3 e1{0.25f * static_cast<float>(random() % 5), 0.0f, 0.0f}, e2{0.0f, 0.25f * static_cast<float>(random() % 5 + 1), 0.0f};
            if (random() % 2) e1.z = 0.25f * static_cast<float>(random() % 3);  // tilted or flat in z
            if (random() % 3 == 0) std::swap(e1.x, e1.z);
            o = &t.parallelogram(p, e1, e2);
            if (i % 2) o->type = kTriangle;
            if (!(axisValue(cross(e1, e2), 0) != 0.0f || axisValue(cross(e1, e2), 1) != 0.0f ||
                  axisValue(cross(e1, e2), 2) != 0.0f))
                o->patch.edgeA = {0.25f, 0.0f, 0.0f}, prepareParallelogram(*o);
        }
        if (random() % 5 == 0) o->flags |= kNoShadowCast;
    }
    const Box box{{-2.9f, -2.9f, -2.9f}, {2.9f, 2.9f, 2.9f}};
    KdNode& root = gridTree(t, random, box.min, box.max, 0);
    t.finish(box, root, {0.3f, -5.0f, 1.0f});
}

// A ray's origin: a third exactly on one of the tree's split planes (with a grid point elsewhere), a
// third on grid points, the rest anywhere in the box.
inline Vec3 gridOrigin(const Scene& s, std::mt19937& random, int r) {
    std::uniform_real_distribution<float> unit(-1.5f, 1.5f);
    Vec3 o{gridCoordinate(random), gridCoordinate(random), gridCoordinate(random)};
    if (r % 3 == 2) return {unit(random), unit(random), unit(random)};
    if (r % 3 == 0) {
        const AccelNode& n = s.tree.nodes[random() % s.tree.nodes.size()];
        if (!n.isLeaf()) setAxisValue(o, n.axis - 1, n.split);
    }
    return o;
}

// A direction: half of them with one or two components 0 (running in grid planes), so that their
// crossings of other planes fall on cell faces.
inline Vec3 gridDirection(std::mt19937& random, int r) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    Vec3 d{unit(random), unit(random), unit(random)};
    if (r % 2 == 0) setAxisValue(d, static_cast<int>(random() % 3), 0.0f);
    if (r % 4 == 0) setAxisValue(d, static_cast<int>(random() % 3), 0.0f);
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d.x = 1.0f;
    return normalize(d);
}

// Whether any object but those casting no shadow meets the ray within (0, maxDistance]: the loop
// over all objects.
inline bool blockedByAny(const Scene& s, const Vec3& origin, const Vec3& direction, float maxDistance) {
    for (const SceneObject& o : s.objects) {
        if (o.flags & kNoShadowCast) continue;
        HitRecord h{};
        intersectBlockerForm(o, origin, direction, h);
        if (h.distance > 0.0f && h.distance <= maxDistance) return true;
    }
    return false;
}

}  // namespace lumo::test
