#include <cmath>

#include <gtest/gtest.h>

#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kDown{0.0f, 0.0f, -1.0f};
const Vec3 kUp{0.0f, 0.0f, 1.0f};

// Unit right triangle in the z = 0 plane.
SceneObject unitTriangle(uint16_t flags = 0) {
    return makePatch(kTriangle, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, flags);
}

TEST(Triangle, HitReportsDistancePointAndEdgeCoordinates) {
    const SceneObject tri = unitTriangle();
    const HitRecord hit = generalHit(tri, {0.25f, 0.5f, 2.0f}, kDown);
    EXPECT_FLOAT_EQ(hit.distance, 2.0f);
    EXPECT_FLOAT_EQ(hit.position.x, 0.25f);
    EXPECT_FLOAT_EQ(hit.position.y, 0.5f);
    EXPECT_FLOAT_EQ(hit.position.z, 0.0f);
    EXPECT_FLOAT_EQ(hit.u, 0.25f);
    EXPECT_FLOAT_EQ(hit.v, 0.5f);
}

TEST(Triangle, FarEdgeIsInsideAndJustBeyondIsOutside) {
    const SceneObject tri = unitTriangle();
    EXPECT_FLOAT_EQ(generalHit(tri, {0.5f, 0.5f, 1.0f}, kDown).distance, 1.0f);  // u + v = 1
    EXPECT_FLOAT_EQ(generalHit(tri, {0.0f, 1.0f, 1.0f}, kDown).distance, 1.0f);  // corner
    EXPECT_EQ(generalHit(tri, {0.5f, 0.5f + 0x1p-20f, 1.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(generalHit(tri, {0.75f, 0.75f, 1.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(generalHit(tri, {-0.01f, 0.5f, 1.0f}, kDown).distance, -1.0f);  // u < 0
    EXPECT_EQ(generalHit(tri, {0.5f, -0.01f, 1.0f}, kDown).distance, -1.0f);  // v < 0
}

TEST(Triangle, TwoSidedUnlessOneSided) {
    const SceneObject twoSided = unitTriangle();
    const SceneObject oneSided = unitTriangle(kOneSided);
    // From the back (direction . normal > 0): two-sided hits, one-sided misses.
    EXPECT_FLOAT_EQ(generalHit(twoSided, {0.25f, 0.25f, -3.0f}, kUp).distance, 3.0f);
    EXPECT_EQ(generalHit(oneSided, {0.25f, 0.25f, -3.0f}, kUp).distance, -1.0f);
    // From the front both hit.
    EXPECT_FLOAT_EQ(generalHit(oneSided, {0.25f, 0.25f, 3.0f}, kDown).distance, 3.0f);
    // Parallel to the plane (a = 0): always a miss.
    EXPECT_EQ(generalHit(twoSided, {-1.0f, 0.25f, 0.0f}, {1, 0, 0}).distance, -1.0f);
    EXPECT_EQ(generalHit(oneSided, {-1.0f, 0.25f, 0.0f}, {1, 0, 0}).distance, -1.0f);
}

TEST(Triangle, PlaneBehindTheOriginLeavesItsNegativeDistance) {
    const SceneObject tri = unitTriangle();
    const HitRecord hit = generalHit(tri, {0.25f, 0.25f, 2.0f}, kUp);
    EXPECT_FLOAT_EQ(hit.distance, -2.0f);
    EXPECT_EQ(hit.u, 99.0f);  // stopped before the edge coordinates
}

TEST(Parallelogram, EdgesUAndVEqualToOneAreInside) {
    const SceneObject quad = makePatch(kParallelogram, {-2, -2, 0}, {4, 0, 0}, {0, 4, 0});
    HitRecord hit = generalHit(quad, {2.0f, 0.0f, 1.0f}, kDown);
    EXPECT_FLOAT_EQ(hit.distance, 1.0f);
    EXPECT_FLOAT_EQ(hit.u, 1.0f);
    EXPECT_FLOAT_EQ(hit.v, 0.5f);
    hit = generalHit(quad, {2.0f, 2.0f, 1.0f}, kDown);
    EXPECT_FLOAT_EQ(hit.u, 1.0f);
    EXPECT_FLOAT_EQ(hit.v, 1.0f);
    EXPECT_FLOAT_EQ(hit.distance, 1.0f);
    // Past u + v = 1 is still inside a parallelogram, past u = 1 or v = 1 is not.
    EXPECT_FLOAT_EQ(generalHit(quad, {1.0f, 1.0f, 1.0f}, kDown).distance, 1.0f);
    EXPECT_EQ(generalHit(quad, {2.001f, 0.0f, 1.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(generalHit(quad, {0.0f, 2.001f, 1.0f}, kDown).distance, -1.0f);
}

// Every solve case recovers the edge coordinates of the same surface point.
TEST(Parallelogram, AllSixSolveCasesRecoverEdgeCoordinates) {
    struct Case {
        Vec3 a, b;
        uint16_t solveCase;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 1, 0}, 0}, {{0, 1, 0}, {0, 0, 1}, 1}, {{1, 0, 0}, {0, 0, 1}, 2},
        {{0, 1, 0}, {1, 0, 0}, 3}, {{0, 0, 1}, {0, 1, 0}, 4}, {{0, 0, 1}, {1, 0, 0}, 5},
    };
    const Vec3 origin{0.5f, -1.0f, 2.0f};
    for (const Case& c : cases) {
        const SceneObject quad = makePatch(kParallelogram, origin, c.a, c.b);
        ASSERT_EQ(quad.patch.solveCase, c.solveCase);
        const Vec3 target = add(origin, add(scale(0.25f, c.a), scale(0.75f, c.b)));
        const Vec3 start = add(target, scale(3.0f, quad.patch.normal));
        const HitRecord hit = generalHit(quad, start, negate(quad.patch.normal));
        EXPECT_FLOAT_EQ(hit.distance, 3.0f) << "case " << c.solveCase;
        EXPECT_FLOAT_EQ(hit.u, 0.25f) << "case " << c.solveCase;
        EXPECT_FLOAT_EQ(hit.v, 0.75f) << "case " << c.solveCase;
    }
}

TEST(Parallelogram, TiltedPatchFromAnOffAxisRay) {
    const Vec3 a{2.0f, 1.0f, 0.5f}, b{-0.5f, 1.0f, 1.5f}, origin{1.0f, 2.0f, 3.0f};
    const SceneObject quad = makePatch(kParallelogram, origin, a, b);
    const Vec3 target = add(origin, add(scale(0.6f, a), scale(0.3f, b)));
    const Vec3 start{-4.0f, 1.0f, 6.0f};
    const Vec3 direction = normalize(sub(target, start));
    const HitRecord hit = generalHit(quad, start, direction);
    EXPECT_NEAR(hit.distance, length(sub(target, start)), 1e-4);
    EXPECT_NEAR(hit.u, 0.6f, 1e-5);
    EXPECT_NEAR(hit.v, 0.3f, 1e-5);
}

TEST(Patch, CameraFormMatchesGeneralForm) {
    SceneObject tri = unitTriangle();
    const Vec3 eye{0.3f, 0.2f, 4.0f};
    const Vec3 targets[] = {{0.25f, 0.25f, 0}, {0.5f, 0.5f, 0}, {0.9f, 0.05f, 0}, {0.6f, 0.6f, 0}, {-0.1f, 0.2f, 0}};
    for (const Vec3& target : targets) {
        const Vec3 d = normalize(sub(target, eye));
        const HitRecord general = generalHit(tri, eye, d);
        const HitRecord camera = cameraHit(tri, eye, d);
        EXPECT_EQ(camera.distance, general.distance);
        if (general.distance > 0.0f) {
            EXPECT_EQ(camera.u, general.u);
            EXPECT_EQ(camera.v, general.v);
        }
    }
    // One-sided from behind through the camera form as well.
    SceneObject oneSided = unitTriangle(kOneSided);
    EXPECT_EQ(cameraHit(oneSided, {0.25f, 0.25f, -3.0f}, kUp).distance, -1.0f);
}

SceneObject annulus() { return makeDisc({0, 0, 1}, {0, 0, 1}, 1.0f, 0.25f); }

TEST(Disc, RadiiLimitsAreInclusive) {
    const SceneObject disc = annulus();
    HitRecord hit = generalHit(disc, {0.75f, 0.0f, 3.0f}, kDown);
    EXPECT_FLOAT_EQ(hit.distance, 2.0f);
    EXPECT_FLOAT_EQ(hit.position.x, 0.75f);
    EXPECT_FLOAT_EQ(hit.position.z, 1.0f);
    EXPECT_FLOAT_EQ(generalHit(disc, {1.0f, 0.0f, 3.0f}, kDown).distance, 2.0f);   // r^2 = outer
    EXPECT_FLOAT_EQ(generalHit(disc, {0.0f, -0.5f, 3.0f}, kDown).distance, 2.0f);  // r^2 = inner
    EXPECT_EQ(generalHit(disc, {0.4f, 0.0f, 3.0f}, kDown).distance, -1.0f);        // in the hole
    EXPECT_EQ(generalHit(disc, {1.01f, 0.0f, 3.0f}, kDown).distance, -1.0f);
}

TEST(Disc, ParallelAndBehindRaysMissWithMinusOne) {
    const SceneObject disc = annulus();
    EXPECT_EQ(generalHit(disc, {-3.0f, 0.5f, 1.0f}, {1, 0, 0}).distance, -1.0f);
    EXPECT_EQ(generalHit(disc, {0.75f, 0.0f, 3.0f}, kUp).distance, -1.0f);
    // Two-sided: from below it is hit too.
    EXPECT_FLOAT_EQ(generalHit(disc, {0.75f, 0.0f, -1.0f}, kUp).distance, 2.0f);
}

TEST(Disc, CameraFormUsesTheSameLimits) {
    SceneObject disc = annulus();
    EXPECT_FLOAT_EQ(cameraHit(disc, {1.0f, 0.0f, 3.0f}, kDown).distance, 2.0f);
    EXPECT_EQ(cameraHit(disc, {0.4f, 0.0f, 3.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(cameraHit(disc, {0.75f, 0.0f, 3.0f}, kUp).distance, -1.0f);
}

SceneObject quarterSector(float sweep) {
    SceneObject o;
    o.type = kDiscSector;
    o.flags = 0;
    o.sector.worldToLocal = identityMatrix();
    translateBy(o.sector.worldToLocal, 0.0f, 0.0f, -1.0f);
    o.sector.sweep = sweep;
    o.sector.centre = {0, 0, 1};
    o.sector.normal = {0, 0, 1};
    o.sector.outerRadiusSquared = 1.0f;
    o.sector.innerRadiusSquared = 0.0f;
    return o;
}

TEST(DiscSector, SweepHalfPiKeepsTheFirstQuadrant) {
    const SceneObject sector = quarterSector(kPi / 2);
    HitRecord hit = generalHit(sector, {0.5f, 0.5f, 3.0f}, kDown);
    EXPECT_FLOAT_EQ(hit.distance, 2.0f);
    EXPECT_FLOAT_EQ(hit.u, 0.5f);  // squared distance from the centre
    EXPECT_NEAR(hit.v, kPi / 4, 1e-6);
    EXPECT_EQ(generalHit(sector, {-0.5f, 0.5f, 3.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(generalHit(sector, {0.5f, -0.5f, 3.0f}, kDown).distance, -1.0f);
    EXPECT_EQ(generalHit(sector, {-0.5f, -0.5f, 3.0f}, kDown).distance, -1.0f);
    // Both bounding axes belong to the quadrant (the local y axis reads as 1.5707962 <= sweep).
    EXPECT_FLOAT_EQ(generalHit(sector, {0.0f, 0.5f, 3.0f}, kDown).distance, 2.0f);
    EXPECT_FLOAT_EQ(generalHit(sector, {0.5f, 0.0f, 3.0f}, kDown).distance, 2.0f);
    // Outside the radius: miss, but u already carries the squared radius.
    hit = generalHit(sector, {1.0f, 1.0f, 3.0f}, kDown);
    EXPECT_EQ(hit.distance, -1.0f);
    EXPECT_FLOAT_EQ(hit.u, 2.0f);
}

TEST(DiscSector, SweepZeroIsAFullDisc) {
    EXPECT_FLOAT_EQ(generalHit(quarterSector(0.0f), {-0.5f, -0.5f, 3.0f}, kDown).distance, 2.0f);
}


// A nearest-hit walk passes its best distance so far as the limit. Whatever a flat shape skips, the
// walk's rule (accept t >= 0 below the limit) must take exactly the hits the full test gives it.
TEST(FlatShapes, EarlyStopBeyondTheLimitKeepsEveryHitAWalkAccepts) {
    const SceneObject shapes[] = {makePatch(kParallelogram, {-1, -1, 1}, {2, 0, 0}, {0, 2, 0.5f}),
                                  unitTriangle(), annulus(), quarterSector(kHalfPi)};
    Random rng;
    rng.seed(3);
    const auto uniform = [&rng](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(rng.next()); };
    int accepted = 0, skipped = 0;
    for (int i = 0; i < 8000; ++i) {
        const SceneObject& o = shapes[i % 4];
        const Vec3 origin{uniform(-2, 2), uniform(-2, 2), uniform(-3, -1)};
        const Vec3 direction = normalize(sub(Vec3{uniform(-1.5f, 1.5f), uniform(-1.5f, 1.5f), 1}, origin));
        const float limit = i % 5 == 0 ? -1.0f : uniform(0, 6);
        const HitRecord full = generalHit(o, origin, direction);
        HitRecord early = sentinelHit();
        intersectNearer(o, origin, direction, limit, early);
        const auto walkTakes = [limit](float t) { return t >= 0.0f && (limit < 0.0f || t < limit); };
        ASSERT_EQ(walkTakes(early.distance), walkTakes(full.distance)) << "case " << i;
        if (walkTakes(full.distance)) {
            EXPECT_EQ(early.distance, full.distance);
            EXPECT_EQ(early.u, full.u);
            EXPECT_EQ(early.v, full.v);
            ++accepted;
        } else if (early.distance != full.distance) {
            ++skipped;
        }
    }
    EXPECT_GT(accepted, 500);
    EXPECT_GT(skipped, 500);  // the early stop happens
}

}  // namespace
}  // namespace lumo::test
