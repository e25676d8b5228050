#include <cmath>

#include <gtest/gtest.h>

#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kPlusX{1, 0, 0};

// Unit cylinder (taper 0) or cone (taper 1) in the identity frame: radius 1 - taper*z, 0 <= z <= 1.
SceneObject revolved(float taper, float sweep = 0.0f, uint16_t flags = 0) {
    SceneObject o;
    initRevolvedShape(o);
    o.revolved.taper = taper;
    o.revolved.sweep = sweep;
    o.flags = flags;
    return o;
}

TEST(Cylinder, NearRootHitLeavesTheLocalPoint) {
    const SceneObject cyl = revolved(0.0f);
    const HitRecord hit = generalHit(cyl, {-5, 0, 0.5f}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 4.0f);
    EXPECT_FLOAT_EQ(hit.position.x, -1.0f);
    EXPECT_FLOAT_EQ(hit.position.z, 0.5f);
    EXPECT_EQ(hit.u, 99.0f);  // the one-root test writes no surface parameters
    EXPECT_EQ(hit.v, 99.0f);
}

TEST(Cylinder, OpenEndsAtZeroAndOneExactly) {
    const SceneObject cyl = revolved(0.0f);
    EXPECT_FLOAT_EQ(generalHit(cyl, {-5, 0, 0.0f}, kPlusX).distance, 4.0f);
    EXPECT_FLOAT_EQ(generalHit(cyl, {-5, 0, 1.0f}, kPlusX).distance, 4.0f);
    EXPECT_EQ(generalHit(cyl, {-5, 0, 1.0001f}, kPlusX).distance, -1.0f);
    EXPECT_EQ(generalHit(cyl, {-5, 0, -0.0001f}, kPlusX).distance, -1.0f);
    // Along the axis (A = 0, so disc = 0): a miss, no division by zero.
    EXPECT_EQ(generalHit(cyl, {0.5f, 0, 5}, {0, 0, -1}).distance, -1.0f);
}

TEST(Cylinder, InsideWallOnlyWithTheTwoRootFlag) {
    // Enters the open top; the near root lies above the tube, the far root on the inside wall.
    const Vec3 origin{-1.5f, 0, 3}, direction{1, 0, -1};
    EXPECT_EQ(generalHit(revolved(0.0f), origin, direction).distance, -1.0f);
    const HitRecord hit = generalHit(revolved(0.0f, 0.0f, kFlipNormal), origin, direction);
    EXPECT_FLOAT_EQ(hit.distance, 2.5f);
    EXPECT_FLOAT_EQ(hit.position.x, 1.0f);
    EXPECT_FLOAT_EQ(hit.u, 0.0f);  // angle
    EXPECT_FLOAT_EQ(hit.v, 0.5f);  // height
}

TEST(Cylinder, TwoRootRuleSkipsARootAtTheOrigin) {
    // Starting on the wall and heading inwards: the root at 0 is not taken, the far wall is.
    const HitRecord hit = generalHit(revolved(0.0f, 0.0f, kFlipNormal), {-1, 0, 0.5f}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 2.0f);
}

TEST(Cylinder, SweepPiKeepsTheHalfWithNonNegativeY) {
    const SceneObject half = revolved(0.0f, kPi);
    HitRecord hit = generalHit(half, {0, -5, 0.5f}, {0, 1, 0});
    EXPECT_FLOAT_EQ(hit.distance, 6.0f);
    EXPECT_FLOAT_EQ(hit.u, kHalfPi);
    EXPECT_FLOAT_EQ(hit.v, 0.5f);
    hit = generalHit(half, {0, 5, 0.5f}, {0, -1, 0});
    EXPECT_FLOAT_EQ(hit.distance, 4.0f);
    EXPECT_EQ(generalHit(half, {-5, -0.5f, 0.5f}, kPlusX).distance, -1.0f);
}

TEST(Cone, RadiusShrinksWithHeight) {
    const SceneObject cone = revolved(1.0f);
    EXPECT_FLOAT_EQ(generalHit(cone, {-5, 0, 0.5f}, kPlusX).distance, 4.5f);
    EXPECT_FLOAT_EQ(generalHit(cone, {-5, 0, 0.75f}, kPlusX).distance, 4.75f);
    EXPECT_EQ(generalHit(cone, {-5, 0.6f, 0.5f}, kPlusX).distance, -1.0f);
}

TEST(Cone, RayParallelToAGeneratorMeetsItOnce) {
    // A = 0: the single root of 2B t + C = 0, for both root tests.
    const Vec3 origin{-0.5f, 0, 0}, direction{1, 0, 1};
    HitRecord hit = generalHit(revolved(1.0f), origin, direction);
    EXPECT_FLOAT_EQ(hit.distance, 0.75f);
    EXPECT_FLOAT_EQ(hit.position.x, 0.25f);
    EXPECT_FLOAT_EQ(hit.position.z, 0.75f);
    hit = generalHit(revolved(1.0f, 0.0f, kFlipNormal), origin, direction);
    EXPECT_FLOAT_EQ(hit.distance, 0.75f);
    EXPECT_FLOAT_EQ(hit.v, 0.75f);
}

TEST(Revolved, CameraFormMatchesGeneralFormInAPlacedFrame) {
    SceneObject cyl = revolved(0.0f);
    Matrix34 placement = identityMatrix();
    scaleBy(placement, 0.25f, 0.25f, 1.5f);
    rotateX(placement, kPi / 2);
    translateBy(placement, 1.0f, -1.2f, 0.25f);
    cyl.revolved.worldToLocal = inverse(placement);
    const Vec3 eye{0.3f, -6.0f, 1.0f};
    for (int i = 0; i < 24; ++i) {
        const Vec3 target{1.0f + 0.02f * (i - 12), -1.2f + 0.1f * (i % 5 - 2), 0.25f + 0.03f * (i % 7 - 3)};
        const Vec3 d = normalize(sub(target, eye));
        const HitRecord general = generalHit(cyl, eye, d);
        const HitRecord camera = cameraHit(cyl, eye, d);
        EXPECT_EQ(camera.distance, general.distance) << i;
    }
}

SceneObject paraboloid(float heightMax, float sweep = 0.0f) {
    SceneObject o;
    o.type = kParaboloid;
    o.flags = 0;
    o.paraboloid.worldToLocal = identityMatrix();
    o.paraboloid.sweep = sweep;
    o.paraboloid.heightMax = heightMax;
    o.paraboloid.normalTransform = nullptr;
    return o;
}

TEST(Paraboloid, HitWritesHeightThenAngle) {
    const HitRecord hit = generalHit(paraboloid(1.0f), {-5, 0, 0.25f}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 4.5f);
    EXPECT_FLOAT_EQ(hit.position.x, -0.5f);
    EXPECT_FLOAT_EQ(hit.u, 0.25f);  // height
    EXPECT_FLOAT_EQ(hit.v, kPi);    // angle
}

TEST(Paraboloid, CapIsInclusiveAndThereIsNoLowerLimit) {
    const SceneObject p = paraboloid(1.0f);
    EXPECT_FLOAT_EQ(generalHit(p, {-5, 0, 1.0f}, kPlusX).distance, 4.0f);
    EXPECT_EQ(generalHit(p, {-5, 0, 1.0001f}, kPlusX).distance, -1.0f);
    // From inside the bowl: the smaller root is behind, the larger one taken.
    EXPECT_NEAR(generalHit(p, {0, 0, 0.5f}, kPlusX).distance, std::sqrt(0.5), 1e-6);
}

TEST(Paraboloid, RayParallelToTheAxisHasASingleRoot) {
    HitRecord hit = generalHit(paraboloid(1.0f), {0.5f, 0, 5}, {0, 0, -1});
    EXPECT_FLOAT_EQ(hit.distance, 4.75f);
    EXPECT_FLOAT_EQ(hit.u, 0.25f);
    EXPECT_FLOAT_EQ(hit.v, 0.0f);
    hit = generalHit(paraboloid(1.0f), {0.5f, 0, -1}, {0, 0, 1});
    EXPECT_FLOAT_EQ(hit.distance, 1.25f);
    // The single root is still subject to the height cap.
    EXPECT_EQ(generalHit(paraboloid(0.2f), {0.5f, 0, 5}, {0, 0, -1}).distance, -1.0f);
}

TEST(Paraboloid, SweepPiDropsTheNegativeYHalf) {
    const SceneObject half = paraboloid(1.0f, kPi);
    const HitRecord hit = generalHit(half, {0, -5, 0.25f}, {0, 1, 0});
    EXPECT_FLOAT_EQ(hit.distance, 5.5f);
    EXPECT_FLOAT_EQ(hit.v, kHalfPi);
}

}  // namespace
}  // namespace lumo::test
