#include <gtest/gtest.h>

#include <cmath>

#include "scene/material.h"
#include "scene/scene_object.h"

namespace lumo {
namespace {

SceneObject patch(ShapeType type, Vec3 origin, Vec3 a, Vec3 b) {
    SceneObject o;
    initPlanarPatch(o);
    o.type = type;
    o.patch.origin = origin;
    o.patch.edgeA = a;
    o.patch.edgeB = b;
    prepareParallelogram(o);
    return o;
}

void expectVec(const Vec3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(Material, ConstructorDefaultsAndAir) {
    const Material m;
    expectVec(m.diffuse, 0.8f, 0.7f, 0.6f, 0);
    EXPECT_EQ(m.reflectivity, 0.0f);
    EXPECT_EQ(m.phongExponent, 0.0f);
    EXPECT_EQ(m.transmission, 0.0f);
    EXPECT_EQ(m.iorBase, 1.0f);
    EXPECT_EQ(m.iorCoeff, -1.0f);
    EXPECT_EQ(m.kind, 0);
    EXPECT_EQ(m.name, "<default>");
    EXPECT_EQ(m.next, nullptr);
    EXPECT_EQ(m.texture, nullptr);
    EXPECT_EQ(airMedium.iorBase, 1.0f);
    EXPECT_LT(airMedium.iorCoeff, 0.0f);
    EXPECT_EQ(airMedium.transmission, 0.0f);
}

TEST(SceneObjectInit, HeaderAndPayloadDefaults) {
    SceneObject o;
    o.flags = 0x1234;
    o.index = 5;  // given by the scene before the builder runs an init*
    initSphere(o);
    EXPECT_EQ(o.type, kSphere);
    EXPECT_EQ(o.flags, 0);
    EXPECT_EQ(o.material, nullptr);
    EXPECT_EQ(o.sphere.radiusSquared, 1.0f);

    initTorus(o);
    EXPECT_EQ(o.type, kTorus);
    EXPECT_EQ(o.torus.majorRadius, 1.0f);
    EXPECT_EQ(o.torus.minorRadius, 0.5f);
    EXPECT_EQ(o.torus.tubeStart, 0.0f);
    EXPECT_EQ(o.torus.tubeEnd, kTwoPi);
    EXPECT_EQ(o.torus.sweep, 0.0f);

    initRevolvedShape(o);
    EXPECT_EQ(o.type, kRevolved);
    EXPECT_EQ(o.revolved.sweep, 0.0f);
    EXPECT_EQ(o.revolved.taper, 0.0f);

    initDisc(o);
    EXPECT_EQ(o.type, kDisc);
    EXPECT_EQ(o.disc.outerRadiusSquared, 1.0f);
    EXPECT_EQ(o.disc.innerRadiusSquared, 0.0f);

    initSphereSection(o);
    EXPECT_EQ(o.type, kSphereSection);
    EXPECT_EQ(o.section.latitudeMin, -1.5707962f);
    EXPECT_EQ(o.section.latitudeMax, 1.5707962f);
    EXPECT_EQ(o.section.radiusSquared, 1.0f);
    EXPECT_EQ(o.section.localToWorld, nullptr);

    initEllipsoidSection(o);
    EXPECT_EQ(o.type, kEllipsoidSection);
    EXPECT_EQ(o.ellipsoid.latitudeMin, -kHalfPi);
    EXPECT_EQ(o.ellipsoid.latitudeMax, kHalfPi);
    EXPECT_EQ(o.ellipsoid.normalTransform, nullptr);

    // The planar constructor leaves the type to the builder.
    o.type = kTriangle;
    initPlanarPatch(o);
    EXPECT_EQ(o.type, kTriangle);
    EXPECT_EQ(o.patch.attributes, nullptr);
    EXPECT_EQ(o.patch.photonTree, nullptr);
    EXPECT_EQ(o.index, 5u);  // every init* keeps the index
}

TEST(PrepareParallelogram, SolveCases) {
    SceneObject g = patch(kParallelogram, {-2, -2, 0}, {4, 0, 0}, {0, 4, 0});
    expectVec(g.patch.normal, 0, 0, 1, 0);
    EXPECT_EQ(g.patch.solveCase, 0);
    EXPECT_EQ(g.patch.inverseDeterminant, 0.0625f);

    SceneObject x0 = patch(kParallelogram, {0, 0, 0}, {0, 1, 0}, {0, 0, 1});
    expectVec(x0.patch.normal, 1, 0, 0, 0);
    EXPECT_EQ(x0.patch.solveCase, 1);
    EXPECT_EQ(x0.patch.inverseDeterminant, 1.0f);

    SceneObject y0 = patch(kParallelogram, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    expectVec(y0.patch.normal, 0, -1, 0, 0);
    EXPECT_EQ(y0.patch.solveCase, 2);
    EXPECT_EQ(y0.patch.inverseDeterminant, 1.0f);

    SceneObject y1 = patch(kParallelogram, {0, 0, 0}, {0, 0, 1}, {1, 0, 0});
    expectVec(y1.patch.normal, 0, 1, 0, 0);
    EXPECT_EQ(y1.patch.solveCase, 5);
    EXPECT_EQ(y1.patch.inverseDeterminant, 1.0f);  // -1 / d2 with d2 = -1

    // edgeA along y in the xy plane: d0 * A.y wins (case 3), inverse -1/d0.
    SceneObject c3 = patch(kParallelogram, {0, 0, 0}, {0, 2, 0}, {1, 0, 0});
    EXPECT_EQ(c3.patch.solveCase, 3);
    EXPECT_EQ(c3.patch.inverseDeterminant, 0.5f);  // d0 = -2
    expectVec(c3.patch.normal, 0, 0, -1, 0);

    // edgeA along z in the yz plane: d1 * A.z wins (case 4), inverse -1/d1.
    SceneObject c4 = patch(kParallelogram, {0, 0, 0}, {0, 0, 4}, {0, 1, 0});
    EXPECT_EQ(c4.patch.solveCase, 4);
    EXPECT_EQ(c4.patch.inverseDeterminant, 0.25f);  // d1 = -4
    expectVec(c4.patch.normal, -1, 0, 0, 0);

    // A tie between candidates keeps the lower case: edges (1,1,0), (-1,1,0) give c0 == c3.
    SceneObject tie = patch(kParallelogram, {0, 0, 0}, {1, 1, 0}, {-1, 1, 0});
    EXPECT_EQ(tie.patch.solveCase, 0);
    EXPECT_EQ(tie.patch.inverseDeterminant, 0.5f);
}

TEST(SampleSurfacePoint, StaysOnTheSurface) {
    Random rng;
    rng.seed(3);
    const SceneObject tri = patch(kTriangle, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    const SceneObject quad = patch(kParallelogram, {1, 2, 3}, {2, 0, 0}, {0, 0, 1});
    bool farCorner = false;
    for (int i = 0; i < 2000; ++i) {
        const Vec3 p = sampleSurfacePoint(tri, rng);
        ASSERT_LE(p.x + p.y, 1.0f + 1e-6f);
        ASSERT_GE(p.x, 0.0f);
        ASSERT_GE(p.y, 0.0f);
        const Vec3 q = sampleSurfacePoint(quad, rng);
        ASSERT_EQ(q.y, 2.0f);
        ASSERT_GE(q.x, 1.0f);
        ASSERT_LE(q.x, 3.0f);
        ASSERT_GE(q.z, 3.0f);
        ASSERT_LE(q.z, 4.0f);
        farCorner |= q.x > 2.9f && q.z > 3.95f;
    }
    EXPECT_TRUE(farCorner);  // the whole patch is covered, not only a triangle of it

    // Parallelogram: the first draw runs along edgeB, the second along edgeA.
    Random a, b;
    a.seed(17);
    b.seed(17);
    const Vec3 q = sampleSurfacePoint(quad, a);
    const double u1 = b.next(), u2 = b.next();
    EXPECT_NEAR(q.x, 1 + 2 * u2, 1e-6);
    EXPECT_NEAR(q.z, 3 + u1, 1e-6);

    SceneObject sphere;
    initSphere(sphere);
    sphere.sphere.centre = {1, 1, 1};
    sphere.sphere.radiusSquared = 0.25f;
    SceneObject disc;
    initDisc(disc);
    disc.disc.centre = {0, 0, 2};
    disc.disc.normal = {0, 0, 1};
    disc.disc.outerRadiusSquared = 1.0f;
    disc.disc.innerRadiusSquared = 0.25f;
    SceneObject cone;
    initRevolvedShape(cone);
    cone.revolved.taper = 1.0f;
    Matrix34 m;
    setIdentity(m);
    scaleBy(m, 0.45f, 0.45f, 2);
    translateBy(m, -1.3f, 0, 0);
    cone.revolved.worldToLocal = inverse(m);
    for (int i = 0; i < 500; ++i) {
        ASSERT_NEAR(pointDistance(sampleSurfacePoint(sphere, rng), {1, 1, 1}), 0.5, 1e-6);
        const Vec3 d = sampleSurfacePoint(disc, rng);
        ASSERT_EQ(d.z, 2.0f);
        const double r = std::hypot(d.x, d.y);
        ASSERT_GE(r, 0.5 - 1e-6);
        ASSERT_LE(r, 1.0 + 1e-6);
        const Vec3 c = sampleSurfacePoint(cone, rng);
        ASSERT_GE(c.z, -1e-6f);
        ASSERT_LE(c.z, 2.0f + 1e-6f);
        ASSERT_NEAR(std::hypot(c.x + 1.3, c.y), 0.45 * (1 - c.z / 2), 1e-5);
    }
    SceneObject torus;
    initTorus(torus);
    expectVec(sampleSurfacePoint(torus, rng), 0, 0, 0, 0);
}

TEST(SurfaceNormalAt, ByTypeAndFlip) {
    SceneObject torus;
    initTorus(torus);
    expectVec(surfaceNormalAt(torus, {5, 5, 5}), 0, 0, 1, 0);
    torus.flags = kFlipNormal;
    expectVec(surfaceNormalAt(torus, {5, 5, 5}), 0, 0, -1, 0);

    SceneObject sphere;
    initSphere(sphere);
    sphere.sphere.centre = {1, 0, 0};
    expectVec(surfaceNormalAt(sphere, {1, 0, 3}), 0, 0, 1);

    const SceneObject quad = patch(kParallelogram, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    expectVec(surfaceNormalAt(quad, {0.5f, 0, 0.5f}), 0, -1, 0);

    // Upright cylinder of radius 0.25: horizontal outward normal on the side.
    SceneObject post;
    initRevolvedShape(post);
    Matrix34 m;
    setIdentity(m);
    scaleBy(m, 0.25f, 0.25f, 1);
    post.revolved.worldToLocal = inverse(m);
    ShapeTransform nt;
    nt.matrix = normalMatrix(m);
    post.revolved.normalTransform = &nt;
    expectVec(surfaceNormalAt(post, {0, -0.25f, 0.5f}), 0, -1, 0);

    // Cone with apex at local z = 1: the normal tilts up by 45 degrees in the unscaled frame.
    SceneObject cone;
    initRevolvedShape(cone);
    cone.revolved.taper = 1.0f;
    setIdentity(m);
    cone.revolved.worldToLocal = m;
    nt.matrix = normalMatrix(m);
    cone.revolved.normalTransform = &nt;
    const float h = 0.5f;
    expectVec(surfaceNormalAt(cone, {h, 0, 0.5f}), std::sqrt(0.5f), 0, std::sqrt(0.5f));
    // A half-slope cone (radius 1 - z/2): the normal is the surface gradient (x, y, k (1 - k z)).
    cone.revolved.taper = 0.5f;
    const Vec3 n = surfaceNormalAt(cone, {0.5f, 0, 1});
    const Vec3 slope = normalize({-0.5f, 0, 1});  // surface direction going up the side
    EXPECT_NEAR(dot(n, slope), 0.0, 1e-6);
}

}  // namespace
}  // namespace lumo
