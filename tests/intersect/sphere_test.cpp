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


// The full rule: both roots measured in full, then the nearer-root choice.
float fullRuleDistance(const float t[2], const Vec3& ol, const Vec3& dl, float lo, float hi, float sweep) {
    bool valid[2];
    for (int k = 0; k < 2; ++k) {
        const SphereAngles a = sphereAnglesOf(isect::pointAlong(ol, t[k], dl));
        valid[k] = insideLatitudes(a.latitude, lo, hi) && a.longitude <= sweep;
    }
    int chosen;
    return isect::chooseNearerRoot(t[0], valid[0], t[1], valid[1], chosen) ? t[chosen] : -1.0f;
}

// Both sections test the far root only when the near one does not settle the choice, and measure
// the longitude only where the sweep can exclude a point: the hit equals the full rule's, bit for bit.
TEST(SectionRoots, LazyTestsChooseAsTheFullRule) {
    Random rng;
    rng.seed(7);
    const auto uniform = [&rng](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(rng.next()); };
    const float sweeps[] = {kHalfPi, kPi, 5.0f, kTwoPi, 7.0f};
    int hits = 0;
    for (int i = 0; i < 4000; ++i) {
        const float sweep = sweeps[i % 5];
        const float lo = uniform(-kHalfPi, 0.5f), hi = uniform(lo, kHalfPi);
        const bool ellipsoid = (i / 5) % 2 == 1;
        const SceneObject o = ellipsoid ? scaledEllipsoid(sweep, lo, hi) : unitSection(sweep, lo, hi);
        const Vec3 origin{uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
        const Vec3 target{uniform(-2, 2), uniform(-2, 2), uniform(-1, 1)};
        const Vec3 direction = normalize(sub(target, origin));
        const Matrix34& toLocal = ellipsoid ? o.ellipsoid.worldToLocal : o.section.worldToLocal;
        const Vec3 ol = transformPoint(origin, toLocal), dl = transformDirection(direction, toLocal);
        float t[2];
        if (ellipsoid) {
            const float a = isect::lengthSquared(dl), b = isect::dotf(dl, ol), c = isect::lengthSquared(ol) - 1.0f;
            const float disc = b * b - a * c;
            if (disc <= 0.0f) continue;
            t[0] = (-b - std::sqrt(disc)) / a;
            t[1] = (-b + std::sqrt(disc)) / a;
        } else {
            const float b = isect::dotf(origin, direction), disc = b * b - (isect::lengthSquared(origin) - 1.0f);
            if (disc <= 0.0f) continue;
            t[0] = -b - std::sqrt(disc);
            t[1] = -b + std::sqrt(disc);
        }
        const float expected = fullRuleDistance(t, ol, dl, lo, hi, sweep);
        const HitRecord hit = generalHit(o, origin, direction);
        ASSERT_EQ(hit.distance, expected) << "case " << i;
        if (expected == -1.0f) continue;
        const SphereAngles a = sphereAnglesOf(isect::pointAlong(ol, expected, dl));
        EXPECT_EQ(hit.u, a.latitude);
        EXPECT_EQ(hit.v, a.longitude);
        ++hits;
    }
    EXPECT_GT(hits, 1000);
}

}  // namespace
}  // namespace lumo::test
