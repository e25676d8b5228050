// The SIMD leaf test (one ray, a shape per lane) against the scalar leaf loop of the nearest-hit
// walk, on every level the processor runs: the same winner, distance and hit record, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "intersect/intersect.h"
#include "simd/leaf_shapes.h"
#include "support/trace_scene.h"
#include "trace/traverse.h"

namespace lumo {
namespace {

using test::bitsOf;
using test::TraceScene;

struct LeafCase {
    TraceScene t;
    std::vector<SceneObject*> objects;
    std::vector<Vec3> surfacePoints;  // a point on each object, where rays leave it
    std::vector<size_t> original;     // per object: the object it copies, or itself
};

// A random leaf: spheres, triangles, parallelograms (some one-sided), discs and annuli, ellipsoid
// sections (no packet form), copies of earlier objects (exact ties), now and then a sphere whose
// distances are not numbers, and sometimes a free object that copies a leaf sphere. Some objects cast
// no shadow.
void buildLeaf(LeafCase& c, std::mt19937& random) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    TraceScene& t = c.t;
    const auto point = [&](float s) { return Vec3{s * unit(random), s * unit(random), s * unit(random)}; };
    const int count = 4 + static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
        const unsigned kind = random() % 16;
        SceneObject* o = nullptr;
        if (kind < 3) {
            const Vec3 centre = point(1.5f);
            const float r = 0.1f + 0.4f * std::fabs(unit(random));
            o = &t.sphere(centre, r * r);
            c.surfacePoints.push_back(add(centre, scale(r, normalize(point(1.0f)))));
        } else if (kind < 9) {
            const Vec3 corner = point(1.5f), a = point(1.0f), b = point(1.0f);
            o = &t.parallelogram(corner, a, b, random() % 4 == 0 ? kOneSided : 0);
            if (kind < 6) o->type = kTriangle;
            c.surfacePoints.push_back(add(corner, add(scale(0.3f, a), scale(0.2f, b))));
        } else if (kind < 12) {
            o = &t.scene.newObject();
            initDisc(*o);
            o->disc.centre = point(1.5f);
            o->disc.normal = normalize(point(1.0f));
            o->disc.outerRadiusSquared = 0.5f * std::fabs(unit(random));
            o->disc.innerRadiusSquared = kind == 11 ? 0.3f * o->disc.outerRadiusSquared : 0.0f;
            o->material = t.material;
            c.surfacePoints.push_back(o->disc.centre);
        } else if (kind < 13) {
            o = &t.scene.newObject();
            initEllipsoidSection(*o);
            o->ellipsoid.worldToLocal.m[9] = unit(random);
            o->ellipsoid.worldToLocal.m[10] = unit(random);
            o->ellipsoid.latitudeMax = 0.5f;
            o->material = t.material;
            c.surfacePoints.push_back(point(1.0f));
        } else if (kind < 15 && !c.objects.empty()) {
            const SceneObject& copied = *c.objects[random() % c.objects.size()];
            o = &t.scene.newObject();
            const uint32_t index = o->index;
            *o = copied;
            o->index = index;
            c.surfacePoints.push_back(c.surfacePoints[copied.index]);
            c.original.push_back(c.original[copied.index]);
        } else {
            o = &t.sphere(point(1.0f), random() % 8 == 0 ? NAN : 0.04f);
            c.surfacePoints.push_back(o->sphere.centre);
        }
        if (c.original.size() == c.objects.size()) c.original.push_back(c.objects.size());
        if (random() % 6 == 0) o->flags |= kNoShadowCast;
        c.objects.push_back(o);
    }
    KdNode& leaf = t.scene.newLeaf();
    for (SceneObject* o : c.objects) t.scene.append(leaf, *o);
    if (random() % 3 == 0) {
        for (SceneObject* o : c.objects)
            if (o->type == kSphere && !std::isnan(o->sphere.radiusSquared)) {
                SceneObject& free = t.sphere(o->sphere.centre, o->sphere.radiusSquared);
                t.scene.freeObject = &free;
                break;
            }
    }
    t.finish({{-4.0f, -4.0f, -4.0f}, {4.0f, 4.0f, 4.0f}}, leaf, {0.0f, 0.0f, 3.5f});
}

// The fields the winner's shape writes must match bit for bit (a flat shape met at distance 0 writes
// only the distance; the walk's callers read no more of such a hit).
bool sameHit(const HitRecord& a, const HitRecord& b) {
    if (a.object != b.object || bitsOf(a.distance) != bitsOf(b.distance)) return false;
    if (!a.object || a.object->type == kSphere || !(a.distance > 0.0f)) return true;
    const bool position = bitsOf(a.position.x) == bitsOf(b.position.x) && bitsOf(a.position.y) == bitsOf(b.position.y) &&
                          bitsOf(a.position.z) == bitsOf(b.position.z);
    if (a.object->type == kDisc) return position;
    return position && bitsOf(a.u) == bitsOf(b.u) && bitsOf(a.v) == bitsOf(b.v);
}

TEST(LeafShapes, NearestHitIsTheScalarLoopsOnEveryLevel) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int hits = 0, ties = 0, selfSkips = 0, checked = 0, unordered = 0;
    for (int leafNumber = 0; leafNumber < 60; ++leafNumber) {
        LeafCase c;
        buildLeaf(c, random);
        const TraceContext scalar = c.t.context();
        for (int level = kIsaSse; level <= processorIsa(); ++level) {
            LeafShapes shapes;
            buildLeafShapes(shapes, c.t.scene, static_cast<Isa>(level));
            if (!shapes.tree) continue;
            TraceContext wide = scalar;
            wide.leafShapes = &shapes;
            for (int r = 0; r < 300; ++r) {
                // Rays from inside the box, or leaving an object's surface with that object excluded.
                const size_t from = random() % c.objects.size();
                const bool leaving = r % 2 == 1;
                const Vec3 origin = leaving ? c.surfacePoints[from] : Vec3{2.0f * unit(random), 2.0f * unit(random), 2.0f * unit(random)};
                const Vec3 direction = normalize({unit(random), unit(random), unit(random)});
                const SceneObject* exclude = leaving ? c.objects[from] : nullptr;
                const HitRecord expected = nearestHit(scalar, origin, direction, exclude);
                const HitRecord got = nearestHit(wide, origin, direction, exclude);
                EXPECT_TRUE(sameHit(expected, got)) << isaName(static_cast<Isa>(level)) << " leaf " << leafNumber << " ray " << r;
                ++checked;
                unordered += std::isnan(expected.distance);
                hits += expected.distance >= 0.0f;
                // A copy earlier in the list, or the free object, at the same distance: the tie rule decided.
                if (expected.object && expected.object != c.t.scene.freeObject)
                    for (size_t i = 0; i < c.objects.size(); ++i)
                        ties += c.objects[i] != expected.object &&
                                c.original[i] == c.original[expected.object->index];
                if (exclude) {
                    HitRecord own{};
                    intersectGeneral(*exclude, origin, direction, own);
                    selfSkips += own.distance >= 0.0f && own.distance < 0.0001f;
                }
            }
        }
    }
    EXPECT_GT(checked, 20000);
    EXPECT_GT(hits, checked / 5) << "the rays must reach the objects";
    EXPECT_GT(ties, 100) << "ties must be exercised";
    EXPECT_GT(selfSkips, 100) << "the own-surface rule must be exercised";
    EXPECT_GT(unordered, 100) << "distances that are not numbers must be exercised";
}

// Shadow rays of any reach against the scalar occlusion walk: the first blocker in leaf order, its
// distance bit for bit (a distance that is not a number included), with objects that cast no shadow,
// a skipped object (a light's own geometry) and rays leaving a surface.
TEST(LeafShapes, FirstBlockerIsTheScalarWalksOnEveryLevel) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    std::mt19937 random(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int blocked = 0, checked = 0;
    for (int leafNumber = 0; leafNumber < 60; ++leafNumber) {
        LeafCase c;
        buildLeaf(c, random);
        const Scene& scene = c.t.scene;
        for (int level = kIsaSse; level <= processorIsa(); ++level) {
            LeafShapes shapes;
            buildLeafShapes(shapes, scene, static_cast<Isa>(level));
            if (!shapes.blockersPacked) continue;
            for (int r = 0; r < 300; ++r) {
                const size_t from = random() % c.objects.size();
                const bool leaving = r % 2 == 1;
                const Vec3 origin = leaving ? c.surfacePoints[from] : Vec3{2.0f * unit(random), 2.0f * unit(random), 2.0f * unit(random)};
                const Vec3 direction = normalize({unit(random), unit(random), unit(random)});
                const float reach = 3.0f * std::fabs(unit(random));
                const SceneObject* exclude = leaving ? c.objects[from] : nullptr;
                const SceneObject* skip = r % 3 == 0 ? c.objects[random() % c.objects.size()] : nullptr;
                const float expected = traverseOcclusion(scene, origin, direction, reach, skip, exclude);
                const float got = firstBlockerInLeaf(shapes, origin, direction, reach, skip, exclude);
                EXPECT_TRUE(bitsOf(expected) == bitsOf(got) || (std::isnan(expected) && std::isnan(got)))
                    << isaName(static_cast<Isa>(level)) << " leaf " << leafNumber << " ray " << r;
                ++checked;
                blocked += expected > 0.0f;
            }
        }
    }
    EXPECT_GT(blocked, checked / 10);
    EXPECT_LT(blocked, checked * 9 / 10);
}

// Rays straight down onto exactly representable boundary points, where a comparison with equality at
// stake decides: the long side of a triangle, the far edge of a parallelogram, the rims of an annulus
// (hits), a tangent sphere (a miss for rays from any origin).
TEST(LeafShapes, BoundaryRaysDecideAsTheScalarLoop) {
    if (processorIsa() == kIsaScalar) GTEST_SKIP() << "no packet level on this processor";
    const struct {
        const char* what;
        float x, y;
        int shape;  // 0 sphere, 1 triangle, 2 parallelogram, 3 annulus
    } cases[] = {{"tangent", 0.5f, 0.0f, 0}, {"long side", 0.5f, 0.5f, 1}, {"far edge", 1.0f, 0.5f, 2},
                 {"inner rim", 0.5f, 0.0f, 3}, {"outer rim", 0.0f, 1.0f, 3}};
    for (const auto& c : cases) {
        TraceScene t;
        SceneObject* o = nullptr;
        if (c.shape == 0) {
            o = &t.sphere({0.0f, 0.0f, 0.0f}, 0.25f);
        } else if (c.shape == 3) {
            o = &t.scene.newObject();
            initDisc(*o);
            o->disc.normal = {0.0f, 0.0f, 1.0f};
            o->disc.innerRadiusSquared = 0.25f;
            o->material = t.material;
        } else {
            o = &t.parallelogram({0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
            if (c.shape == 1) o->type = kTriangle;
        }
        KdNode& leaf = t.leafOf({&t.sphere({5.0f, 5.0f, 0.0f}, 0.01f), &t.sphere({-5.0f, 5.0f, 0.0f}, 0.01f),
                                 &t.sphere({5.0f, -5.0f, 0.0f}, 0.01f), o});
        t.finish({{-8.0f, -8.0f, -8.0f}, {8.0f, 8.0f, 8.0f}}, leaf, {0.0f, 0.0f, 4.0f});
        const Vec3 origin{c.x, c.y, 4.0f}, down{0.0f, 0.0f, -1.0f};
        const HitRecord expected = nearestHit(t.context(), origin, down, nullptr);
        EXPECT_EQ(expected.object, c.shape == 0 ? nullptr : o) << c.what;
        for (int level = kIsaSse; level <= processorIsa(); ++level) {
            LeafShapes shapes;
            buildLeafShapes(shapes, t.scene, static_cast<Isa>(level));
            TraceContext wide = t.context();
            wide.leafShapes = &shapes;
            EXPECT_TRUE(sameHit(expected, nearestHit(wide, origin, down, nullptr))) << c.what << " " << isaName(static_cast<Isa>(level));
        }
    }
}

// Trees of several leaves, and leaves with too few shapes of a packet form, keep the scalar walk.
TEST(LeafShapes, OnlyASingleLeafWithEnoughShapesIsCopied) {
    TraceScene t;
    std::vector<SceneObject*> few;
    for (int i = 0; i < kMinLeafShapes - 1; ++i) few.push_back(&t.sphere({0.3f * static_cast<float>(i), 0.0f, 0.0f}, 0.01f));
    KdNode& leaf = t.scene.newLeaf();
    for (SceneObject* o : few) t.scene.append(leaf, *o);
    LeafShapes shapes;
    t.scene.setTree(leaf);
    buildLeafShapes(shapes, t.scene, kIsaSse);
    EXPECT_EQ(shapes.tree, nullptr);
    t.scene.append(leaf, t.sphere({0.0f, 1.0f, 0.0f}, 0.01f));
    t.scene.setTree(leaf);
    buildLeafShapes(shapes, t.scene, kIsaScalar);
    EXPECT_EQ(shapes.tree, nullptr) << "the scalar level has no kernel";
    buildLeafShapes(shapes, t.scene, kIsaSse);
    EXPECT_EQ(shapes.tree, &t.scene.tree);
    t.scene.setTree(t.scene.newSplit(1, 0.0f, leaf, t.scene.newLeaf()));
    buildLeafShapes(shapes, t.scene, kIsaSse);
    EXPECT_EQ(shapes.tree, nullptr);
}

}  // namespace
}  // namespace lumo
