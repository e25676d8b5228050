// Per-scene motion, run once per frame before the photon passes and the render.
#include <cmath>

#include "scene/demo_scenes.h"

namespace lumo {

namespace {

Matrix34 identityMatrix() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

// Three objects circling the z axis a third of a turn apart, at height z.
void circleThree(SceneObject* const slots[], double a, float z) {
    const double third = 2.0944f;
    const double angles[3] = {a, a + third, a - third};
    for (int i = 0; i < 3; ++i)
        slots[i]->sphere.centre = {static_cast<float>(std::cos(angles[i])), static_cast<float>(std::sin(angles[i])), z};
}

// Angle of a steady spin, wrapped to one turn so float32 keeps its resolution.
float spin(double rate, double t) { return static_cast<float>(-std::fmod(rate * t, static_cast<double>(kTwoPi))); }

void spinCube(SceneObject* const slots[], double t) {
    Matrix34 m = identityMatrix();
    scaleBy(m, 1.5f, 1.5f, 1.5f);
    rotateX(m, 0.78539f);
    rotateY(m, 0.61548f);
    rotateZ(m, spin(0.001, t));
    const Matrix34 r = m;
    translateBy(m, 0, 0, 1.3f);
    const Vec3 low = transformPoint({-0.5f, -0.5f, -0.5f}, m);
    const Vec3 high = transformPoint({0.5f, 0.5f, 0.5f}, m);
    const Vec3 edges[6][2] = {{{0, 1, 0}, {1, 0, 0}},  {{0, 0, 1}, {0, 1, 0}},   {{1, 0, 0}, {0, 0, 1}},
                              {{-1, 0, 0}, {0, -1, 0}}, {{0, -1, 0}, {0, 0, -1}}, {{0, 0, -1}, {-1, 0, 0}}};
    for (int i = 0; i < 6; ++i) {
        PlanarPatch& p = slots[i]->patch;
        p.origin = i < 3 ? low : high;
        p.edgeA = transformPoint(edges[i][0], r);
        p.edgeB = transformPoint(edges[i][1], r);
        prepareParallelogram(*slots[i]);
    }
}

void moveLight(Scene& scene, double t) {
    SceneObject* const* slots = scene.animatedObjects;
    Matrix34 m = identityMatrix();
    translateBy(m, 2, -1, 0);
    rotateZ(m, spin(0.00025, t));
    rotateY(m, -0.3f);
    translateBy(m, 0, 0, 3);
    const Vec3 p = transformPoint({0, 0, 0}, m);
    scene.light.position = p;
    slots[0]->sphere.centre = p;
}

void turnTorus(SceneObject* const slots[], double t) {
    Matrix34 m = identityMatrix();
    rotateX(m, 0.7853982f);
    translateBy(m, 0, 0, 1.2071f);
    rotateZ(m, spin(0.001, t));
    Torus& torus = slots[0]->torus;
    torus.worldToLocal = inverse(m);
    torus.normalTransform->matrix = normalMatrix(m);
}

void tumbleEgg(SceneObject* const slots[], double t) {
    const float s = spin(0.0003, t);
    const float k = static_cast<float>(std::cos(0.0015 * t));
    auto placement = [s, k](float zScale) {
        Matrix34 m = identityMatrix();
        scaleBy(m, 0.75f, 0.75f, zScale);
        rotateX(m, k);
        translateBy(m, 0, 0.75f * k, 0.75f);
        rotateZ(m, s);
        return m;
    };
    const Matrix34 lower = placement(0.75f);
    SphereSection& bottom = slots[0]->section;
    bottom.worldToLocal = inverse(lower);
    bottom.centre = transformPoint({0, 0, 0}, lower);
    const Matrix34 upper = placement(1.0f);
    EllipsoidSection& top = slots[1]->ellipsoid;
    top.worldToLocal = inverse(upper);
    top.normalTransform->matrix = normalMatrix(upper);
}

}  // namespace

void animateScene(Scene& scene, double t) {
    SceneObject* const* slots = scene.animatedObjects;
    switch (scene.id()) {
    case 1:
        slots[0]->sphere.centre.z = static_cast<float>(1.0 + std::fabs(std::sin(0.002 * t)));
        break;
    case 2:
        circleThree(slots, 0.001 * t, 0.5f);
        break;
    case 3:
        spinCube(slots, t);
        break;
    case 4:
        moveLight(scene, t);
        break;
    case 5:
        turnTorus(slots, t);
        break;
    case 6:
        circleThree(slots, 0.001 * t, 1.5f);
        break;
    case 8:
        tumbleEgg(slots, t);
        break;
    default:  // 7 Area Light and 9 Cornell Box stand still (demoSceneMoves)
        break;
    }
}

}  // namespace lumo
