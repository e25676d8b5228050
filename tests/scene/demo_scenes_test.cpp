#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "app/platform.h"
#include "scene/demo_scenes.h"
#include "scene_test_util.h"

namespace lumo {
namespace {

using test::leafObjects;
using test::patchCentre;

void expectVec(const Vec3& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

std::vector<std::string> materialNames(const Scene& s) {
    std::vector<std::string> names;
    for (const Material* m = s.materialList; m; m = m->next) names.push_back(m->name);
    return names;
}

TEST(DemoScenes, TitlesCameraAndBounds) {
    struct Expect {
        const char* title;
        Vec3 lookAt;
        float azimuth, elevation, fov, maxZ;
    };
    const Expect expect[kSceneCount] = {
        {"LUMO-Demo: Bouncing Mirrorsphere", {0, 0, 1.2f}, 1.3f, 0.3f, 0.5f, 3},
        {"LUMO-Demo: 3 rotating Spheres", {0, 0, 0}, 1.91f, 0.61f, 0.5f, 1},
        {"LUMO-Demo: Spinning Glass Cube", {0, 0, 1.2f}, -0.82f, 0.53f, 0.5f, 2.6f},
        {"LUMO-Demo: Moving Light", {0, 0, 0.5f}, 2.58f, 0.55f, 0.5f, 2},
        {"LUMO-Demo: rotating Torus", {0, 0, 1.2f}, 2.36f, 0.53f, 0.5f, 2.5f},
        {"LUMO-Demo: 3 rotating Spheres", {0, 0, 1}, 0.24f, 0.59f, 0.5f, 2.5f},
        {"LUMO-Demo: Area Light's Soft Shadow", {0, 0, 0.5f}, 1.97f, 0.67f, 0.5f, 2.5f},
        {"LUMO-Demo: Tumbling Egg", {0, 0, 0.875f}, 2.73f, 0.47f, 0.5f, 1.751f},
        {"LUMO-Demo: Cornell Box", {0, 0, 1.5f}, 3.14159f, 0.2f, 0.535f, 3.001f},
    };
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(id);
        const Expect& e = expect[id - 1];
        camera().cameraAzimuth = 99.0f;  // a drag; loading resets it
        camera().fieldOfView = 9.0f;
        camera().upVector = {1, 0, 0};
        loadScene(id);
        const Scene& s = currentScene();
        EXPECT_EQ(s.id, id);
        EXPECT_EQ(recordingPlatform().title, e.title);
        EXPECT_EQ(s.title, e.title);
        expectVec(camera().lookAtPoint, e.lookAt.x, e.lookAt.y, e.lookAt.z, 0);
        expectVec(camera().upVector, 0, 0, 1, 0);
        EXPECT_EQ(camera().cameraAzimuth, e.azimuth);
        EXPECT_EQ(camera().cameraElevation, e.elevation);
        EXPECT_EQ(camera().fieldOfView, e.fov);
        EXPECT_EQ(s.bounds.max.z, e.maxZ);
        EXPECT_EQ(s.bounds.min.z, -0.001f);
        const float side = id == 9 ? 1.501f : 2.0f;
        EXPECT_EQ(s.bounds.min.x, -side);
        EXPECT_EQ(s.bounds.min.y, -side);
        EXPECT_EQ(s.bounds.max.x, side);
        EXPECT_EQ(s.bounds.max.y, side);
        ASSERT_NE(s.root, nullptr);
        EXPECT_EQ(s.root->axis, id == 4 ? 1 : 0);
        // Every object is prepared and carries a material; no slot past the used ones is filled.
        for (const SceneObject& o : s.objects) {
            EXPECT_NE(o.material, nullptr);
            EXPECT_EQ(o.primaryStamp, 42);
            if (o.type == kParallelogram || o.type == kTriangle) {
                EXPECT_NEAR(length(o.patch.normal), 1.0, 1e-6);
            }
        }
    }
}

TEST(DemoScenes, LightRecordPerScene) {
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(id);
        loadScene(id);
        const Light& l = *firstLight();
        const Scene& s = currentScene();
        EXPECT_EQ(l.next, nullptr);
        if (id == 4) {
            expectVec(l.position, 1, 0, 1, 0);
        } else if (id == 7) {
            expectVec(l.position, 0.85f, -0.85f, 2.1f, 0);
        } else if (id == 9) {
            expectVec(l.position, 0, 0, 2.98f, 0);
        } else {
            expectVec(l.position, 5, -3, 7, 0);
        }
        EXPECT_EQ(l.intensity, id == 9 ? 0.75f : 1.0f);
        if (id == 7 || id == 9) {
            ASSERT_NE(l.object, nullptr);
            EXPECT_EQ(l.object, s.freeObject);
            EXPECT_EQ(l.object->type, kParallelogram);
            EXPECT_EQ(l.object->flags, 0x0C00);
            EXPECT_EQ(l.object->material->name, "Light");
        } else {
            EXPECT_EQ(l.object, nullptr);
        }
        if (id == 9) {
            EXPECT_FLOAT_EQ(l.area, 0.36f);
        }
    }
    // The Area Light scene leaves the area as the previous scene set it.
    loadScene(9);
    loadScene(7);
    EXPECT_FLOAT_EQ(firstLight()->area, 0.36f);
    EXPECT_EQ(firstLight()->object, currentScene().animatedObjects[0]);
}

TEST(DemoScenes, MirrorsphereAndBalls) {
    loadScene(1);
    const Scene& s = currentScene();
    EXPECT_EQ(materialNames(s), (std::vector<std::string>{"Ground", "Metal"}));
    const auto objects = leafObjects(s.root);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0], s.animatedObjects[0]);
    EXPECT_EQ(objects[0]->type, kSphere);
    EXPECT_EQ(objects[0]->flags, 0x0800);
    expectVec(objects[0]->sphere.centre, 0, 0, 1, 0);
    EXPECT_EQ(objects[0]->sphere.radiusSquared, 1.0f);
    EXPECT_EQ(objects[1]->flags, 0x1400);
    expectVec(objects[1]->patch.origin, -2, -2, 0, 0);
    EXPECT_EQ(objects[1]->patch.solveCase, 0);
    EXPECT_EQ(objects[1]->material->reflectivity, 0.0f);
    EXPECT_EQ(objects[0]->material->reflectivity, 0.5f);
    EXPECT_EQ(s.freeObject, nullptr);
    for (int i = 1; i < kAnimatedSlots; ++i) EXPECT_EQ(s.animatedObjects[i], nullptr);

    loadScene(2);
    const Scene& b = currentScene();
    EXPECT_EQ(materialNames(b), (std::vector<std::string>{"Ground", "Copper", "Silver", "Gold"}));
    const auto balls = leafObjects(b.root);
    ASSERT_EQ(balls.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(balls[i], b.animatedObjects[i]);
        EXPECT_EQ(balls[i]->sphere.radiusSquared, 0.25f);
        EXPECT_EQ(balls[i]->flags, 0x0800);
    }
    expectVec(balls[1]->sphere.centre, -0.50000418f, 0.86602299f, 0.5f);
    expectVec(balls[2]->sphere.centre, -0.50000418f, -0.86602299f, 0.5f);
    EXPECT_EQ(balls[3]->material->reflectivity, 0.2f);
}

TEST(DemoScenes, CubeFacesPointOutwards) {
    loadScene(3);
    const Scene& s = currentScene();
    const auto objects = leafObjects(s.root);
    ASSERT_EQ(objects.size(), 7u);
    EXPECT_EQ(objects[0]->flags, 0x1400);  // the ground comes first
    const Vec3 centre{0, 0, 1.3f};
    for (int i = 0; i < 6; ++i) {
        const SceneObject& f = *objects[i + 1];
        EXPECT_EQ(&f, s.animatedObjects[i]);
        EXPECT_EQ(f.flags, 0x0800);
        EXPECT_EQ(f.material->name, "Glass");
        EXPECT_EQ(f.material->transmission, -1.0f);
        EXPECT_EQ(f.material->iorBase, 1.54f);
        EXPECT_EQ(f.material->iorCoeff, -1.0f);
        EXPECT_NEAR(length(f.patch.edgeA), 1.5, 1e-5);
        const Vec3 out = sub(patchCentre(f), centre);
        EXPECT_NEAR(length(out), 0.75, 1e-5);
        EXPECT_NEAR(dot(f.patch.normal, out), 0.75, 1e-5) << "face " << i;
    }
    // Standing on a corner, main diagonal vertical: the lowest corner touches the ground.
    const float halfDiagonal = 0.75f * std::sqrt(3.0f);  // 1.299: the bottom corner is just above z = 0
    // That diagonal runs from local (-1/2, 1/2, -1/2) to (1/2, -1/2, 1/2).
    expectVec(add(objects[1]->patch.origin, objects[1]->patch.edgeA), 0, 0, 1.3f - halfDiagonal, 2e-5f);
    expectVec(add(objects[4]->patch.origin, objects[4]->patch.edgeB), 0, 0, 1.3f + halfDiagonal, 2e-5f);
}

TEST(DemoScenes, Shadows1Tree) {
    loadScene(4);
    const Scene& s = currentScene();
    const KdNode* root = s.root;
    ASSERT_EQ(root->axis, 1);
    EXPECT_EQ(root->split, 0.7f);
    const KdNode* leafD = root->above;
    const KdNode* low = root->belowChild();
    ASSERT_EQ(leafD->axis, 0);
    ASSERT_EQ(low->axis, 1);
    EXPECT_EQ(low->split, -0.65f);
    const KdNode* leafA = low->belowChild();
    const KdNode* slab = low->above;
    ASSERT_EQ(leafA->axis, 0);
    ASSERT_EQ(slab->axis, 2);
    EXPECT_EQ(slab->split, 0.0f);
    const KdNode* leafB = slab->belowChild();
    const KdNode* leafC = slab->above;
    ASSERT_EQ(leafB->axis, 0);
    ASSERT_EQ(leafC->axis, 0);

    const auto a = leafObjects(leafA), b = leafObjects(leafB), c = leafObjects(leafC), d = leafObjects(leafD);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 3u);
    ASSERT_EQ(c.size(), 4u);
    ASSERT_EQ(d.size(), 4u);
    SceneObject* ground = s.animatedObjects[1];
    for (const auto* leaf : {&a, &b, &c, &d}) EXPECT_EQ(leaf->front(), ground);
    EXPECT_EQ(ground->flags, 0x1400);

    // The light sphere is the free object and in no leaf.
    SceneObject* lamp = s.animatedObjects[0];
    EXPECT_EQ(s.freeObject, lamp);
    EXPECT_EQ(lamp->flags, 0x0C00);
    EXPECT_EQ(lamp->sphere.radiusSquared, 0.01f);
    expectVec(lamp->sphere.centre, 1, 0, 1, 0);
    EXPECT_EQ(s.objects.size(), 11u);

    EXPECT_EQ(a[1]->type, kRevolved);
    EXPECT_EQ(a[1]->revolved.taper, 1.0f);
    expectVec(transformPoint({-1.3f, 0, 2}, a[1]->revolved.worldToLocal), 0, 0, 1);  // apex
    EXPECT_EQ(b[1]->type, kSphere);
    EXPECT_EQ(b[2]->type, kTriangle);
    EXPECT_EQ(c[1]->type, kParallelogram);
    EXPECT_EQ(c[2]->type, kParallelogram);
    EXPECT_EQ(c[3]->type, kTriangle);
    for (const SceneObject* tent : {b[2], c[1], c[2], c[3]}) EXPECT_EQ(tent->flags, 0x0004);
    // The tent's faces point out of it (its inside is around (0.3, 0.4, 0.3)).
    for (const SceneObject* tent : {b[2], c[1], c[2], c[3]})
        EXPECT_GT(dot(tent->patch.normal, sub(patchCentre(*tent), {0.3f, 0.4f, 0.3f})), 0.0);

    // The log along the ground and its two end discs.
    const SceneObject& log = *d[1];
    EXPECT_EQ(log.type, kRevolved);
    EXPECT_EQ(log.revolved.taper, 0.0f);
    EXPECT_EQ(log.revolved.sweep, 0.0f);
    ASSERT_NE(log.revolved.normalTransform, nullptr);
    expectVec(transformPoint({1, -1.2f, 0.25f}, log.revolved.worldToLocal), 0, 0, 0);
    const SceneObject& farEnd = *d[2];
    const SceneObject& nearEnd = *d[3];
    EXPECT_EQ(farEnd.type, kDisc);
    expectVec(farEnd.disc.centre, 1.7191383f, 0.1163738f, 0.25f, 2e-7f);
    expectVec(farEnd.disc.normal, 0.4794255f, 0.8775826f, 0, 2e-7f);
    expectVec(transformPoint(farEnd.disc.centre, log.revolved.worldToLocal), 0, 0, 1, 1e-6f);
    expectVec(nearEnd.disc.centre, 1, -1.2f, 0.25f, 2e-7f);
    expectVec(nearEnd.disc.normal, -0.4794255f, -0.8775826f, 0, 2e-7f);
    EXPECT_EQ(farEnd.disc.outerRadiusSquared, 0.0625f);
    EXPECT_EQ(nearEnd.disc.innerRadiusSquared, 0.0f);
    EXPECT_EQ(materialNames(s), (std::vector<std::string>{"Clay", "Ground", "Light"}));
}

TEST(DemoScenes, TorusSpheresAreaLightEgg) {
    loadScene(5);
    const Scene& t = currentScene();
    const auto torusLeaf = leafObjects(t.root);
    ASSERT_EQ(torusLeaf.size(), 2u);
    const SceneObject& torus = *t.animatedObjects[0];
    EXPECT_EQ(torusLeaf[0], &torus);
    EXPECT_EQ(torus.type, kTorus);
    EXPECT_EQ(torus.flags, 0);
    EXPECT_EQ(torus.torus.majorRadius, 1.0f);
    EXPECT_EQ(torus.torus.minorRadius, 0.5f);
    expectVec(transformPoint({0, 0, 1.2071f}, torus.torus.worldToLocal), 0, 0, 0);
    ASSERT_NE(torus.torus.normalTransform, nullptr);
    // The local axis tilts towards +y: rotateX turns z towards y.
    expectVec(transformPoint({0, 0, 1}, torus.torus.normalTransform->matrix), 0, 0.70710677f, 0.70710677f);

    loadScene(6);
    const Scene& sp = currentScene();
    const auto balls = leafObjects(sp.root);
    ASSERT_EQ(balls.size(), 11u);
    for (const SceneObject* b : balls) {
        EXPECT_EQ(b->type, kSphere);
        EXPECT_EQ(b->flags, 0x0800);
    }
    EXPECT_EQ(sp.animatedObjects[0], balls[0]);
    EXPECT_EQ(sp.animatedObjects[1], balls[3]);
    EXPECT_EQ(sp.animatedObjects[2], balls[6]);
    expectVec(balls[8]->sphere.centre, 0.50000418f, 0.86602299f, 0.5f);
    EXPECT_EQ(balls[9]->sphere.radiusSquared, 0.6f);
    EXPECT_EQ(balls[10]->sphere.radiusSquared, 0.2f);
    // The six lower spheres form a ring of radius 1 at 60 degree spacing.
    for (int i : {1, 2, 4, 5, 7, 8}) EXPECT_NEAR(std::hypot(balls[i]->sphere.centre.x, balls[i]->sphere.centre.y), 1.0, 1e-5);

    loadScene(7);
    const Scene& al = currentScene();
    const auto leaf = leafObjects(al.root);
    ASSERT_EQ(leaf.size(), 3u);
    EXPECT_EQ(leaf[0], al.animatedObjects[1]);
    EXPECT_EQ(leaf[0]->flags, 0x0400);
    EXPECT_EQ(leaf[1]->type, kRevolved);
    EXPECT_EQ(leaf[2]->type, kDisc);
    const SceneObject& panel = *al.animatedObjects[0];
    EXPECT_EQ(al.freeObject, &panel);
    EXPECT_LT(panel.patch.normal.z, 0.0f);  // the panel faces down onto the scene
    // The light position is the panel's centre.
    const Vec3 c = patchCentre(panel);
    expectVec(c, 0.85f, -0.85f, 2.1f, 1e-6f);

    loadScene(8);
    const Scene& egg = currentScene();
    const auto eggLeaf = leafObjects(egg.root);
    ASSERT_EQ(eggLeaf.size(), 3u);
    const SceneObject& bottom = *egg.animatedObjects[0];
    const SceneObject& top = *egg.animatedObjects[1];
    EXPECT_EQ(eggLeaf[0], &bottom);
    EXPECT_EQ(eggLeaf[1], &top);
    EXPECT_EQ(bottom.type, kSphereSection);
    EXPECT_EQ(bottom.section.sweep, kTwoPi);
    EXPECT_EQ(bottom.section.latitudeMin, -kHalfPi);
    EXPECT_EQ(bottom.section.latitudeMax, 0.0f);
    EXPECT_EQ(bottom.section.radiusSquared, 0.5625f);
    EXPECT_EQ(bottom.section.localToWorld, nullptr);
    expectVec(transformPoint({0.75f, 0, 0.75f}, bottom.section.worldToLocal), 1, 0, 0);
    EXPECT_EQ(top.type, kEllipsoidSection);
    EXPECT_EQ(top.ellipsoid.latitudeMin, 0.0f);
    EXPECT_EQ(top.ellipsoid.latitudeMax, kHalfPi);
    expectVec(transformPoint({0, 0, 1.75f}, top.ellipsoid.worldToLocal), 0, 0, 1);
    ASSERT_NE(top.ellipsoid.normalTransform, nullptr);
    for (const SceneObject* o : {&bottom, &top}) EXPECT_EQ(o->flags, 0x0800);
    EXPECT_EQ(eggLeaf[2]->flags, 0x1400);
}

TEST(DemoScenes, CornellBoxWallsFaceInwards) {
    loadScene(9);
    const Scene& s = currentScene();
    const auto leaf = leafObjects(s.root);
    ASSERT_EQ(leaf.size(), 16u);
    EXPECT_EQ(s.objects.size(), 17u);
    for (const SceneObject* o : s.animatedObjects) EXPECT_EQ(o, nullptr);
    const SceneObject& panel = *s.freeObject;
    expectVec(panel.patch.normal, 0, 0, -1, 0);
    const Vec3 inside{0, 0, 1.5f};
    const char* wallMaterials[6] = {"White", "White", "White", "White", "Green", "Red"};
    for (int i = 0; i < 6; ++i) {
        const SceneObject& w = *leaf[i];
        EXPECT_EQ(w.flags, 0x0404);
        EXPECT_EQ(w.material->name, wallMaterials[i]);
        EXPECT_NEAR(dot(w.patch.normal, sub(inside, patchCentre(w))), 1.5, 1e-6) << "wall " << i;
    }
    // Specific walls: back wall y = -1.5 faces +y, the red wall x = 1.5 faces -x.
    expectVec(leaf[1]->patch.normal, 0, 1, 0, 0);
    expectVec(leaf[5]->patch.normal, -1, 0, 0, 0);
    // The blocks: five faces each, all pointing out of their block, none facing down.
    const Vec3 blockCentres[2] = {{0.471f, -0.375f, 0.925f}, {-0.498f, 0.6f, 0.442f}};
    for (int blk = 0; blk < 2; ++blk)
        for (int i = 0; i < 5; ++i) {
            const SceneObject& f = *leaf[6 + 5 * blk + i];
            EXPECT_EQ(f.flags, 0x0804);
            EXPECT_EQ(f.material->name, "Yellow");
            EXPECT_GT(dot(f.patch.normal, sub(patchCentre(f), blockCentres[blk])), 0.1);
            EXPECT_GT(f.patch.normal.z, -0.5f);
        }
    // Tall block top (face 5) at z = 1.85, short block top at 0.884.
    EXPECT_NEAR(leaf[10]->patch.origin.z, 1.85f, 1e-6f);
    EXPECT_NEAR(leaf[15]->patch.origin.z, 0.884f, 1e-6f);
    EXPECT_EQ(materialNames(s), (std::vector<std::string>{"Yellow", "Red", "Green", "White", "Light"}));
}

TEST(DemoScenes, ReloadingGivesIdenticalData) {
    for (int id = 1; id <= kSceneCount; ++id) {
        loadScene(id);
        std::vector<SceneObject> first(currentScene().objects.begin(), currentScene().objects.end());
        loadScene(id);
        const auto& again = currentScene().objects;
        ASSERT_EQ(first.size(), again.size());
        for (size_t i = 0; i < first.size(); ++i) {
            EXPECT_EQ(first[i].type, again[i].type);
            EXPECT_EQ(first[i].flags, again[i].flags);
            // Geometry compared bit for bit (the patch fields before its first pointer).
            if (first[i].type == kParallelogram || first[i].type == kTriangle) {
                EXPECT_EQ(std::memcmp(&first[i].patch, &again[i].patch, offsetof(PlanarPatch, attributes)), 0);
            } else if (first[i].type == kSphere) {
                EXPECT_EQ(first[i].sphere.radiusSquared, again[i].sphere.radiusSquared);
                EXPECT_EQ(std::memcmp(&first[i].sphere.centre, &again[i].sphere.centre, sizeof(Vec3)), 0);
            }
        }
    }
}

TEST(DemoScenes, UnknownIdKeepsTheCurrentScene) {
    loadScene(3);
    Scene* before = &currentScene();
    EXPECT_EQ(buildScene(0), nullptr);
    loadScene(10);
    EXPECT_EQ(&currentScene(), before);
}

TEST(DemoScenes, DroppedSceneDoesNotLeaveTheLightDangling) {
    loadScene(1);
    {
        std::unique_ptr<Scene> unused = buildScene(9);  // writes the light, never installed
        EXPECT_NE(firstLight()->object, nullptr);
    }
    EXPECT_EQ(firstLight()->object, nullptr);
    // Replacing the installed area-light scene keeps the new scene's light geometry.
    loadScene(7);
    loadScene(9);
    ASSERT_NE(firstLight()->object, nullptr);
    EXPECT_EQ(firstLight()->object, currentScene().freeObject);
}

// Run under the address sanitizer, this loop shows that switching scenes releases everything.
TEST(DemoScenes, SwitchingAThousandTimes) {
    for (int i = 0; i < 1000; ++i) {
        const int id = 1 + (i * 4) % kSceneCount;  // 4 is coprime to 9: every scene, mixed order
        loadScene(id);
        ASSERT_EQ(currentScene().id, id);
        const SceneObject* lightObject = firstLight()->object;
        if (id == 7 || id == 9) {
            ASSERT_EQ(lightObject, currentScene().freeObject);
        } else {
            ASSERT_EQ(lightObject, nullptr);
        }
        animateScene(16.0 * i);
    }
}

}  // namespace
}  // namespace lumo
