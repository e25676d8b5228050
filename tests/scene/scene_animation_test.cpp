#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "scene/demo_scenes.h"
#include "scene_test_util.h"

namespace lumo {
namespace {

using test::patchCentre;

void expectVec(const Vec3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

const double kPiD = 3.14159265358979323846;

TEST(Animation, BouncingMirrorsphere) {
    const std::unique_ptr<Scene> scene = buildScene(1);
    SceneObject& ball = *scene->animatedObjects[0];
    animateScene(*scene, 0.0);
    expectVec(ball.sphere.centre, 0, 0, 1, 0);
    animateScene(*scene, kPiD / 2 / 0.002);  // top of the bounce
    EXPECT_FLOAT_EQ(ball.sphere.centre.z, 2.0f);
    animateScene(*scene, kPiD * 1.25 / 0.002);  // abs() keeps it above its rest height
    EXPECT_NEAR(ball.sphere.centre.z, 1.0 + std::sqrt(0.5), 1e-6);
    EXPECT_EQ(ball.sphere.centre.x, 0.0f);
}

TEST(Animation, CirclingSpheres) {
    for (int id : {2, 6}) {
        const std::unique_ptr<Scene> scene = buildScene(id);
        SceneObject* const* slots = scene->animatedObjects;
        const float z = id == 2 ? 0.5f : 1.5f;
        animateScene(*scene, 0.0);
        expectVec(slots[0]->sphere.centre, 1, 0, z);
        expectVec(slots[1]->sphere.centre, -0.50000418f, 0.86602299f, z);
        expectVec(slots[2]->sphere.centre, -0.50000418f, -0.86602299f, z);
        animateScene(*scene, 1000.0 * kPiD / 2);  // a quarter turn anticlockwise seen from above
        expectVec(slots[0]->sphere.centre, 0, 1, z);
        expectVec(slots[1]->sphere.centre, -0.86602299f, -0.50000418f, z, 1e-5f);
        expectVec(slots[2]->sphere.centre, 0.86602299f, -0.50000418f, z, 1e-5f);
        if (id == 6) {  // the lower ring stays put
            const auto& objects = scene->objects;
            expectVec(objects[1].sphere.centre, 1, 0, 0.5f, 0);
        }
    }
}

TEST(Animation, SpinningCubeKeepsItsShape) {
    const std::unique_ptr<Scene> scene = buildScene(3);
    SceneObject* const* slots = scene->animatedObjects;
    std::vector<PlanarPatch> built;
    for (int i = 0; i < 6; ++i) built.push_back(slots[i]->patch);
    // At clock 0 the animation reproduces the builder's placement exactly.
    animateScene(*scene, 0.0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(std::memcmp(&built[i].origin, &slots[i]->patch.origin, 3 * sizeof(Vec3)), 0) << i;
        EXPECT_EQ(built[i].solveCase, slots[i]->patch.solveCase);
        EXPECT_EQ(built[i].inverseDeterminant, slots[i]->patch.inverseDeterminant);
    }
    const float halfDiagonal = 0.75f * std::sqrt(3.0f);
    for (double t : {500.0, 1234.5, 2000.0 * kPiD + 300.0, 1.0e7}) {
        SCOPED_TRACE(t);
        animateScene(*scene, t);
        for (int i = 0; i < 6; ++i) {
            const SceneObject& f = *slots[i];
            const Vec3 out = sub(patchCentre(f), {0, 0, 1.3f});
            EXPECT_NEAR(dot(f.patch.normal, out), 0.75, 2e-5);
            // The normal was re-derived for the moved edges.
            EXPECT_NEAR(length(cross(f.patch.normal, normalize(cross(f.patch.edgeA, f.patch.edgeB)))), 0.0, 1e-6);
            EXPECT_NEAR(dot(f.patch.normal, f.patch.edgeA), 0.0, 1e-5);
        }
        // It spins about the vertical diagonal: the bottom and top corners stay put.
        expectVec(add(slots[0]->patch.origin, slots[0]->patch.edgeA), 0, 0, 1.3f - halfDiagonal, 3e-5f);
        expectVec(add(slots[3]->patch.origin, slots[3]->patch.edgeB), 0, 0, 1.3f + halfDiagonal, 3e-5f);
    }
    // A quarter turn clockwise seen from above (rotateZ by a negative angle).
    animateScene(*scene, 0.0);
    const Vec3 before = sub(slots[0]->patch.origin, {0, 0, slots[0]->patch.origin.z});
    animateScene(*scene, 1000.0 * kPiD / 2);
    const Vec3 after = slots[0]->patch.origin;
    expectVec(after, before.y, -before.x, after.z, 2e-5f);
}

TEST(Animation, MovingLight) {
    const std::unique_ptr<Scene> scene = buildScene(4);
    SceneObject& lamp = *scene->animatedObjects[0];
    animateScene(*scene, 0.0);
    const double c = std::cos(0.3f), s = std::sin(0.3f);
    expectVec(scene->light.position, static_cast<float>(2 * c), -1, static_cast<float>(3 - 2 * s), 1e-6f);
    for (double t : {0.0, 1000.0, 12345.0, 40000.0}) {
        animateScene(*scene, t);
        const Vec3 p = scene->light.position;
        EXPECT_EQ(std::memcmp(&p, &lamp.sphere.centre, sizeof(Vec3)), 0);
        // Orbits at distance sqrt(5) from (0, 0, 3) on a circle tilted by 0.3 rad.
        EXPECT_NEAR(pointDistance(p, {0, 0, 3}), std::sqrt(5.0), 1e-5);
    }
    // A quarter period later the orbit has turned by pi/2 about z before the tilt.
    animateScene(*scene, 1000.0 * kPiD / 2 / 0.25);
    expectVec(scene->light.position, static_cast<float>(-c), -2, static_cast<float>(3 + s), 1e-5f);
    EXPECT_EQ(scene->light.object, nullptr);
}

TEST(Animation, RotatingTorus) {
    const std::unique_ptr<Scene> scene = buildScene(5);
    SceneObject& torus = *scene->animatedObjects[0];
    const Matrix34 built = torus.torus.worldToLocal;
    ShapeTransform* normals = torus.torus.normalTransform;
    animateScene(*scene, 0.0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(torus.torus.worldToLocal.m[i], built.m[i]);
    animateScene(*scene, 1000.0 * kPiD / 2);
    EXPECT_EQ(torus.torus.normalTransform, normals);  // the matrix is replaced in place
    // The centre stays; the tilted axis (0, s, c) turns a quarter turn clockwise to (s, 0, c).
    expectVec(transformPoint({0, 0, 1.2071f}, torus.torus.worldToLocal), 0, 0, 0, 1e-6f);
    expectVec(transformPoint({0, 0, 1}, normals->matrix), 0.70710677f, 0, 0.70710677f, 1e-6f);
    expectVec(transformPoint({0.70710677f, 0, 1.2071f + 0.70710677f}, torus.torus.worldToLocal), 0, 0, 1, 2e-6f);
}

TEST(Animation, TumblingEgg) {
    const std::unique_ptr<Scene> scene = buildScene(8);
    SceneObject& bottom = *scene->animatedObjects[0];
    SceneObject& top = *scene->animatedObjects[1];
    animateScene(*scene, 0.0);  // k = cos 0 = 1: tilted by 1 rad and shifted by 0.75 along y
    expectVec(bottom.section.centre, 0, 0.75f, 0.75f);
    expectVec(transformPoint({0, 0.75f, 0.75f}, top.ellipsoid.worldToLocal), 0, 0, 0);
    const double t = 700.0;
    const double k = std::cos(0.0015 * t), s = -0.0003 * t;
    animateScene(*scene, t);
    // Centre: (0, 0.75 k, 0.75) turned by s about z.
    expectVec(bottom.section.centre, static_cast<float>(-0.75 * k * std::sin(s)),
              static_cast<float>(0.75 * k * std::cos(s)), 0.75f, 1e-6f);
    expectVec(transformPoint(bottom.section.centre, bottom.section.worldToLocal), 0, 0, 0, 1e-6f);
    expectVec(transformPoint(bottom.section.centre, top.ellipsoid.worldToLocal), 0, 0, 0, 1e-6f);
    // The top's pole sits 1.0 from the centre along the tilted axis, the bottom's 0.75.
    Matrix34 upper;
    setIdentity(upper);
    scaleBy(upper, 0.75f, 0.75f, 1);
    rotateX(upper, static_cast<float>(k));
    translateBy(upper, 0, static_cast<float>(0.75 * k), 0.75f);
    rotateZ(upper, static_cast<float>(s));
    const Vec3 pole = transformPoint({0, 0, 1}, upper);
    EXPECT_NEAR(pointDistance(pole, bottom.section.centre), 1.0, 1e-6);
    expectVec(transformPoint(pole, top.ellipsoid.worldToLocal), 0, 0, 1, 2e-6f);
    const Matrix34 n = normalMatrix(upper);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(top.ellipsoid.normalTransform->matrix.m[i], n.m[i]);
}

TEST(Animation, StillScenesDoNotMove) {
    for (int id : {7, 9}) {
        const std::unique_ptr<Scene> scene = buildScene(id);
        std::vector<SceneObject> before(scene->objects.begin(), scene->objects.end());
        const Vec3 light = scene->light.position;
        animateScene(*scene, 54321.0);
        const auto& after = scene->objects;
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(std::memcmp(&before[i], &after[i], sizeof(SceneObject)), 0) << id << " object " << i;
        EXPECT_EQ(std::memcmp(&light, &scene->light.position, sizeof(Vec3)), 0);
    }
}

}  // namespace
}  // namespace lumo
