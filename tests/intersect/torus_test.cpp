#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "intersect/polynomial.h"
#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kPlusX{1, 0, 0};

TEST(SolveCubic, ThreeRealRootsInTrigonometricOrder) {
    double roots[3];
    const double c[4] = {1, -6, 11, -6};  // (x-1)(x-2)(x-3)
    ASSERT_EQ(solveCubic(c, roots), 3);
    EXPECT_NEAR(roots[0], 1.0, 1e-12);
    EXPECT_NEAR(roots[1], 3.0, 1e-12);
    EXPECT_NEAR(roots[2], 2.0, 1e-12);
    const double scaled[4] = {2, -12, 22, -12};  // same roots, non-monic
    ASSERT_EQ(solveCubic(scaled, roots), 3);
    EXPECT_NEAR(roots[0], 1.0, 1e-12);
}

TEST(SolveCubic, OneRealRoot) {
    double roots[3];
    const double cube[4] = {1, 0, 0, -1};  // x^3 - 1
    ASSERT_EQ(solveCubic(cube, roots), 1);
    EXPECT_NEAR(roots[0], 1.0, 1e-12);
    const double positiveR[4] = {1, 0, 0, 8};  // x^3 + 8
    ASSERT_EQ(solveCubic(positiveR, roots), 1);
    EXPECT_NEAR(roots[0], -2.0, 1e-12);
    const double odd[4] = {1, 0, 1, 0};  // x^3 + x
    ASSERT_EQ(solveCubic(odd, roots), 1);
    EXPECT_NEAR(roots[0], 0.0, 1e-12);
}

TEST(SolveCubic, DegenerateInputs) {
    double roots[3];
    const double notCubic[4] = {0, 1, 2, 3};
    EXPECT_EQ(solveCubic(notCubic, roots), 0);
    const double triple[4] = {1, -3, 3, -1};  // (x-1)^3: finite, not NaN
    ASSERT_EQ(solveCubic(triple, roots), 3);
    for (double r : roots) EXPECT_DOUBLE_EQ(r, 1.0);
}

std::vector<double> sortedQuarticRoots(const double (&c)[5]) {
    double roots[4];
    const int n = solveQuartic(c, roots);
    std::vector<double> v(roots, roots + n);
    std::sort(v.begin(), v.end());
    return v;
}

TEST(SolveQuartic, KnownPolynomials) {
    const std::vector<double> four = sortedQuarticRoots({1, -10, 35, -50, 24});  // (x-1)(x-2)(x-3)(x-4)
    ASSERT_EQ(four.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(four[i], i + 1.0, 1e-9);

    const std::vector<double> two = sortedQuarticRoots({1, -3, 3, -3, 2});  // (x^2+1)(x-1)(x-2)
    ASSERT_EQ(two.size(), 2u);
    EXPECT_NEAR(two[0], 1.0, 1e-9);
    EXPECT_NEAR(two[1], 2.0, 1e-9);

    EXPECT_TRUE(sortedQuarticRoots({1, 0, 0, 0, 1}).empty());  // x^4 + 1
    EXPECT_TRUE(sortedQuarticRoots({2, 0, 4, 0, 2}).empty());  // 2 (x^2+1)^2
}

TEST(SolveQuartic, BiquadraticTakesTheZeroWBranch) {
    // (x^2-1)(x^2-4): q = 0 and the resolvent's first root gives w = 0 exactly.
    const std::vector<double> roots = sortedQuarticRoots({1, 0, -5, 0, 4});
    ASSERT_EQ(roots.size(), 4u);
    EXPECT_NEAR(roots[0], -2.0, 1e-12);
    EXPECT_NEAR(roots[1], -1.0, 1e-12);
    EXPECT_NEAR(roots[2], 1.0, 1e-12);
    EXPECT_NEAR(roots[3], 2.0, 1e-12);
}

TEST(AngleInRange, WrapAwareRanges) {
    EXPECT_TRUE(angleInRange(1.0f, 0.0f, 2.0f));
    EXPECT_TRUE(angleInRange(0.0f, 0.0f, 2.0f));
    EXPECT_TRUE(angleInRange(2.0f, 0.0f, 2.0f));
    EXPECT_FALSE(angleInRange(2.5f, 0.0f, 2.0f));
    // lo < 0 <= hi: the range straddles 0.
    EXPECT_TRUE(angleInRange(6.0f, -kHalfPi, kHalfPi));
    EXPECT_TRUE(angleInRange(0.5f, -kHalfPi, kHalfPi));
    EXPECT_FALSE(angleInRange(3.0f, -kHalfPi, kHalfPi));
    // Both negative: compared after subtracting 2 pi.
    EXPECT_TRUE(angleInRange(5.0f, -2.0f, -1.0f));
    EXPECT_FALSE(angleInRange(0.5f, -2.0f, -1.0f));
    EXPECT_FALSE(angleInRange(5.5f, -2.0f, -1.0f));
}

SceneObject torus(float sweep = 0.0f, float tubeStart = 0.0f, float tubeEnd = kTwoPi) {
    SceneObject o;
    initTorus(o);
    o.torus.sweep = sweep;
    o.torus.tubeStart = tubeStart;
    o.torus.tubeEnd = tubeEnd;
    return o;
}

TEST(Torus, ThroughBothSidesOfTheTubeTakesTheNearestRoot) {
    const HitRecord hit = generalHit(torus(), {-5, 0, 0}, kPlusX);
    EXPECT_NEAR(hit.distance, 3.5f, 1e-5);
    EXPECT_NEAR(hit.normal.x, -1.0f, 1e-5);
    EXPECT_NEAR(hit.normal.z, 0.0f, 1e-5);
    EXPECT_FLOAT_EQ(hit.v, kPi);    // around the axis
    EXPECT_NEAR(hit.u, 0.0f, 1e-3);  // outer equator of the tube
}

TEST(Torus, RayAlongTheAxisPassesThroughTheHole) {
    EXPECT_EQ(generalHit(torus(), {0, 0, -5}, {0, 0, 1}).distance, -1.0f);
    EXPECT_EQ(generalHit(torus(), {0, 0, 5}, {0, 0, -1}).distance, -1.0f);
}

// The outer rim lies at R + r = 1.5 from the axis: a ray just inside it still grazes the tube, one
// just beyond it or heading away misses.
TEST(Torus, RaysNearTheOuterRimAndRaysHeadingAway) {
    EXPECT_NEAR(generalHit(torus(), {-5, 1.499f, 0}, kPlusX).distance, 5.0f - std::sqrt(1.5f * 1.5f - 1.499f * 1.499f),
                1e-3);
    EXPECT_EQ(generalHit(torus(), {-5, 1.501f, 0}, kPlusX).distance, -1.0f);
    EXPECT_EQ(generalHit(torus(), {-5, 0, 0}, {-1, 0, 0}).distance, -1.0f);
}

// A shadow ray reads the distance alone: the same distance as the full test, with and without a sweep.
TEST(Torus, DistanceOnlyTestGivesTheFullTestsDistance) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int hits = 0;
    for (float sweep : {0.0f, 4.0f})
        for (int i = 0; i < 2000; ++i) {
            const SceneObject t = torus(sweep);
            // Every other ray leaves the surface, as shadow rays do.
            const float phi = kPi * unit(random), theta = kPi * unit(random);
            const float rim = 1.0f + 0.5f * std::cos(theta);
            const Vec3 origin = i % 2 ? Vec3{rim * std::cos(phi), rim * std::sin(phi), 0.5f * std::sin(theta)}
                                      : Vec3{2.5f * unit(random), 2.5f * unit(random), unit(random)};
            const Vec3 direction = normalize({unit(random), unit(random), unit(random)});
            HitRecord full{}, distanceOnly{};
            intersectTorus(t, origin, direction, full);
            intersectTorus(t, origin, direction, distanceOnly, true);
            EXPECT_EQ(full.distance, distanceOnly.distance) << "ray " << i << ", sweep " << sweep;
            hits += full.distance > 0.0f;
        }
    EXPECT_GT(hits, 500);
}

TEST(Torus, RayFromTheSurfaceSkipsItsStartingPoint) {
    EXPECT_NEAR(generalHit(torus(), {-1.5f, 0, 0}, kPlusX).distance, 1.0f, 1e-4);
}

TEST(Torus, NonUnitLocalDirectionGivesWorldDistances) {
    SceneObject t = torus();
    setIdentity(t.torus.worldToLocal);
    scaleBy(t.torus.worldToLocal, 2.0f, 2.0f, 2.0f);  // a torus of half size in world space
    EXPECT_NEAR(generalHit(t, {-5, 0, 0}, kPlusX).distance, 4.25f, 1e-5);
}

TEST(Torus, SweptSectionShowsItsInnerWall) {
    // Azimuths around pi are cut away, so the nearest valid root is the inner wall at x = 0.5.
    const HitRecord hit = generalHit(torus(kPi / 2), {-5, 0, 0}, kPlusX);
    EXPECT_NEAR(hit.distance, 5.5f, 1e-5);
    EXPECT_NEAR(hit.normal.x, -1.0f, 1e-5);
    EXPECT_NEAR(hit.u, kPi, 1e-3);  // inner equator of the tube
    EXPECT_FLOAT_EQ(hit.v, 0.0f);
}

TEST(Torus, TubeRangeMinusHalfPiToHalfPiKeepsTheOuterHalf) {
    const SceneObject outer = torus(kTwoPi, -kHalfPi, kHalfPi);
    EXPECT_NEAR(generalHit(outer, {-5, 0, 0}, kPlusX).distance, 3.5f, 1e-5);
    // From the centre outwards: the inner wall (theta = pi) is skipped, the outer wall taken.
    EXPECT_NEAR(generalHit(outer, {0, 0, 0}, kPlusX).distance, 1.5f, 1e-5);
    // Straight down onto the outer slope: theta = acos(0.6), inside the range.
    HitRecord hit = generalHit(outer, {1.3f, 0, 5}, {0, 0, -1});
    EXPECT_NEAR(hit.distance, 4.6f, 1e-4);
    EXPECT_NEAR(hit.u, std::acos(0.6), 1e-3);
    // Down onto the inner slope: theta = 2pi - acos(-0.6) top and bottom are both outside.
    EXPECT_EQ(generalHit(outer, {0.7f, 0, 5}, {0, 0, -1}).distance, -1.0f);
    // With sweep 0 the tube range is ignored.
    EXPECT_NEAR(generalHit(torus(0.0f, -kHalfPi, kHalfPi), {0.7f, 0, 5}, {0, 0, -1}).distance, 4.6f, 1e-4);
}

TEST(Torus, LowerHalfOfTheTubeReadsAboveTwoPiMinusHalfPi) {
    const HitRecord hit = generalHit(torus(), {1.3f, 0, -5}, {0, 0, 1});
    EXPECT_NEAR(hit.distance, 4.6f, 1e-4);
    EXPECT_NEAR(hit.u, 2.0 * std::numbers::pi - std::acos(0.6), 1e-3);
}

}  // namespace
}  // namespace lumo::test
