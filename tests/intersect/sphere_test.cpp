#include <cmath>

#include <gtest/gtest.h>

#include "shape_builders.h"

namespace lumo::test {
namespace {

const Vec3 kPlusX{1, 0, 0};
const Vec3 kPlusZ{0, 0, 1};

TEST(Sphere, GeneralFormFromOutsideInsideAndTheSurface) {
    const SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, -5}, kPlusZ).distance, 4.0f);
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, 0}, kPlusZ).distance, 1.0f);   // from inside: the exit
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, -1}, kPlusZ).distance, 2.0f);  // from the surface: far side, not 0
    EXPECT_FLOAT_EQ(generalHit(s, {0, 0, 5}, kPlusZ).distance, -4.0f);  // behind: negative far root
    EXPECT_EQ(generalHit(s, {2, 0, -5}, kPlusZ).distance, -1.0f);
}

TEST(Sphere, TangentIsAHitForCameraRaysAndAMissOtherwise) {
    SceneObject s = makeSphere({0, 0, 0}, 1.0f);
    EXPECT_EQ(generalHit(s, {1, 0, -5}, kPlusZ).distance, -1.0f);
    EXPECT_FLOAT_EQ(cameraHit(s, {1, 0, -5}, kPlusZ).distance, 5.0f);
}

TEST(Sphere, CameraFormOffersOnlyTheNearRoot) {
    SceneObject s = makeSphere({1, 2, 3}, 4.0f);
    EXPECT_FLOAT_EQ(cameraHit(s, {1, 2, -3}, kPlusZ).distance, 4.0f);
    // Eye inside: the near root is negative, so camera rays do not see the sphere...
    EXPECT_FLOAT_EQ(cameraHit(s, {1, 2, 3}, kPlusZ).distance, -2.0f);
    // ...while a secondary ray from the same point does.
    EXPECT_FLOAT_EQ(generalHit(s, {1, 2, 3}, kPlusZ).distance, 2.0f);
    EXPECT_EQ(cameraHit(s, {4, 2, -3}, kPlusZ).distance, -1.0f);
}

SceneObject unitSection(float sweep, float latitudeMin, float latitudeMax) {
    SceneObject o;
    initSphereSection(o);
    o.section.centre = {0, 0, 0};
    o.section.radiusSquared = 1.0f;
    o.section.sweep = sweep;
    o.section.latitudeMin = latitudeMin;
    o.section.latitudeMax = latitudeMax;
    return o;
}

TEST(SphereSection, SweepZeroIgnoresLatitudeLimits) {
    const SceneObject s = unitSection(0.0f, 0.5f, 1.0f);
    const HitRecord hit = generalHit(s, {0.6f, 0, -5}, kPlusZ);
    EXPECT_NEAR(hit.distance, 4.2f, 1e-5);
    EXPECT_NEAR(hit.u, std::asin(-0.8), 1e-5);  // latitude of the near point
    EXPECT_FLOAT_EQ(hit.v, 0.0f);
}

TEST(SphereSection, OpenHemisphereReturnsTheFarRoot) {
    const SceneObject upper = unitSection(kTwoPi, 0.0f, kHalfPi);
    const HitRecord hit = generalHit(upper, {0.6f, 0, -5}, kPlusZ);
    EXPECT_NEAR(hit.distance, 5.8f, 1e-5);
    EXPECT_NEAR(hit.u, std::asin(0.8), 1e-5);
    // With one valid root its sign does not matter: a root behind the origin is returned as is.
    EXPECT_NEAR(generalHit(upper, {0.6f, 0, 0}, {0, 0, -1}).distance, -0.8f, 1e-5);
}

TEST(SphereSection, LimitsAreInclusive) {
    // Latitude exactly at both limits (the equator): both roots valid, near one taken.
    const SceneObject band = unitSection(kTwoPi, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(generalHit(band, {-5, 0, 0}, kPlusX).distance, 4.0f);
    EXPECT_EQ(generalHit(band, {-5, 0, 0.5f}, kPlusX).distance, -1.0f);

    // Longitude exactly equal to the sweep: (-1, 0, 0) lies at pi.
    const SceneObject half = unitSection(kPi, -kHalfPi, kHalfPi);
    HitRecord hit = generalHit(half, {-5, 0, 0}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 4.0f);
    EXPECT_FLOAT_EQ(hit.v, kPi);
    // A sweep one step below pi drops the near point; the far one at longitude 0 remains.
    const SceneObject lessThanHalf = unitSection(std::nextafter(kPi, 0.0f), -kHalfPi, kHalfPi);
    hit = generalHit(lessThanHalf, {-5, 0, 0}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 6.0f);
    EXPECT_FLOAT_EQ(hit.v, 0.0f);
}

TEST(SphereSection, FromTheSurfaceSkipsTheStartingPoint) {
    const SceneObject s = unitSection(kTwoPi, -kHalfPi, kHalfPi);
    EXPECT_FLOAT_EQ(generalHit(s, {-1, 0, 0}, kPlusX).distance, 2.0f);
}

SceneObject scaledEllipsoid(float sweep, float latitudeMin, float latitudeMax) {
    SceneObject o;
    initEllipsoidSection(o);
    setIdentity(o.ellipsoid.worldToLocal);
    scaleBy(o.ellipsoid.worldToLocal, 0.5f, 0.5f, 1.0f);  // semi-axes 2, 2, 1
    o.ellipsoid.sweep = sweep;
    o.ellipsoid.latitudeMin = latitudeMin;
    o.ellipsoid.latitudeMax = latitudeMax;
    return o;
}

TEST(EllipsoidSection, HitWritesTheLocalPointAndAngles) {
    const SceneObject e = scaledEllipsoid(0.0f, -kHalfPi, kHalfPi);
    HitRecord hit = generalHit(e, {-5, 0, 0}, kPlusX);
    EXPECT_FLOAT_EQ(hit.distance, 3.0f);
    EXPECT_FLOAT_EQ(hit.position.x, -1.0f);
    EXPECT_FLOAT_EQ(hit.position.y, 0.0f);
    EXPECT_FLOAT_EQ(hit.u, 0.0f);
    EXPECT_FLOAT_EQ(hit.v, kPi);
    // The direction need not be unit: distances are in units of its length.
    EXPECT_FLOAT_EQ(generalHit(e, {-5, 0, 0}, {2, 0, 0}).distance, 1.5f);
    // From inside: the exit.
    EXPECT_FLOAT_EQ(generalHit(e, {0, 0, 0}, kPlusX).distance, 2.0f);
}

TEST(EllipsoidSection, LatitudeLimitsApplyEvenWithSweepZero) {
    const SceneObject e = scaledEllipsoid(0.0f, 0.1f, kHalfPi);
    EXPECT_EQ(generalHit(e, {-5, 0, 0}, kPlusX).distance, -1.0f);
}

TEST(EllipsoidSection, OpenHalfReturnsTheFarRoot) {
    const SceneObject upper = scaledEllipsoid(kTwoPi, 0.0f, kHalfPi);
    const HitRecord hit = generalHit(upper, {1.2f, 0, -5}, kPlusZ);
    EXPECT_NEAR(hit.distance, 5.8f, 1e-5);
    EXPECT_NEAR(hit.position.z, 0.8f, 1e-5);
    EXPECT_NEAR(hit.position.x, 0.6f, 1e-6);
    EXPECT_NEAR(hit.u, std::asin(0.8), 1e-5);
}

TEST(EllipsoidSection, SweepLimitsLongitude) {
    const SceneObject quarter = scaledEllipsoid(kPi / 2, -kHalfPi, kHalfPi);
    // Along -y from outside: the near point at y = 2 (longitude pi/2) is inside the sweep.
    EXPECT_NEAR(generalHit(quarter, {0.5f, 5, 0}, {0, -1, 0}).distance, 5.0 - std::sqrt(3.75), 1e-5);
    // Along +y: the near point (longitude 3pi/2 region) is cut away, the far one kept.
    EXPECT_NEAR(generalHit(quarter, {0.5f, -5, 0}, {0, 1, 0}).distance, 5.0 + std::sqrt(3.75), 1e-5);
}

}  // namespace
}  // namespace lumo::test
