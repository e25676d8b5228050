#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>
#include <memory>
#include <string>

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

TEST(DemoSceneDescriptors, IdsPositionsAndNames) {
    const auto scenes = demoScenes();
    ASSERT_EQ(scenes.size(), static_cast<size_t>(kSceneCount));
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(id);
        const SceneDescriptor& d = scenes[static_cast<size_t>(id - 1)];
        EXPECT_EQ(d.id, id);
        EXPECT_EQ(findDemoScene(id), &d);
        EXPECT_EQ(demoSceneIdFromName(d.cliName), id);
        EXPECT_EQ(demoSceneIdFromName(d.menuName), id);  // the menu text, case and blanks aside
        // A photon map is offered exactly where its estimate has a scale, and selected only where offered.
        EXPECT_EQ(d.offersCaustics, d.causticEstimateScale > 0.0f);
        EXPECT_EQ(d.offersGi, d.giEstimateScale > 0.0f);
        EXPECT_TRUE(!d.causticsOnSelect || d.offersCaustics);
        EXPECT_TRUE(!d.giOnSelect || d.offersGi);
    }
    EXPECT_EQ(demoSceneIdFromName("CORNELL BOX"), 9);
    EXPECT_EQ(demoSceneIdFromName("shadows"), 0);
    for (int id : {0, -1, kSceneCount + 1}) {
        EXPECT_EQ(findDemoScene(id), nullptr);
        EXPECT_EQ(buildScene(id), nullptr);
    }
}

TEST(DemoScenes, StartCameraTitleAndBounds) {
    const float maxZ[kSceneCount] = {3, 1, 2.6f, 2, 2.5f, 2.5f, 2.5f, 1.751f, 3.001f};
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(id);
        const std::unique_ptr<Scene> scene = buildScene(id);
        ASSERT_NE(scene, nullptr);
        const Scene& s = *scene;
        const SceneDescriptor& d = *findDemoScene(id);
        EXPECT_EQ(s.id(), id);
        EXPECT_EQ(s.title, d.title);
        // The start camera is the one the descriptor describes, upright.
        const Camera& c = s.camera;
        expectVec(c.lookAtPoint, d.lookAt.x, d.lookAt.y, d.lookAt.z, 0);
        expectVec(c.upVector, 0, 0, 1, 0);
        EXPECT_EQ(c.cameraAzimuth, d.azimuth);
        EXPECT_EQ(c.cameraElevation, d.elevation);
        EXPECT_EQ(c.fieldOfView, d.fieldOfView);
        EXPECT_EQ(s.bounds.max.z, maxZ[id - 1]);
        EXPECT_EQ(s.bounds.min.z, -0.001f);
        const float side = id == 9 ? 1.501f : 2.0f;
        EXPECT_EQ(s.bounds.min.x, -side);
        EXPECT_EQ(s.bounds.min.y, -side);
        EXPECT_EQ(s.bounds.max.x, side);
        EXPECT_EQ(s.bounds.max.y, side);
        ASSERT_FALSE(s.tree.nodes.empty());
        EXPECT_EQ(s.tree.nodes[0].axis, id == 4 ? 1 : 0);
        // Every object is prepared, carries a material and knows its position (the key of the
        // per-object eye caches and mailboxes).
        uint32_t index = 0;
        for (const SceneObject& o : s.objects) {
            EXPECT_EQ(o.index, index++);
            EXPECT_NE(o.material, nullptr);
            if (o.type == kParallelogram || o.type == kTriangle) {
                EXPECT_NEAR(length(o.patch.normal), 1.0, 1e-6);
            }
        }
    }
}

TEST(DemoScenes, LightRecordPerScene) {
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(id);
        const std::unique_ptr<Scene> scene = buildScene(id);
        const Scene& s = *scene;
        const Light& l = *s.firstLight();
        const SceneDescriptor& d = s.descriptor;
        EXPECT_EQ(l.next, nullptr);
        expectVec(l.position, d.lightPosition.x, d.lightPosition.y, d.lightPosition.z, 0);
        EXPECT_EQ(l.intensity, d.lightIntensity);
        if (id == 7 || id == 9) {
            // An area light: the panel is the free object and the light sits at its centre.
            ASSERT_NE(l.object, nullptr);
            EXPECT_EQ(l.object, s.freeObject);
            EXPECT_EQ(l.object->type, kParallelogram);
            EXPECT_EQ(l.object->flags, 0x0C00);
            EXPECT_EQ(l.object->material->name, "Light");
            expectVec(patchCentre(*l.object), l.position.x, l.position.y, l.position.z, 1e-6f);
        } else {
            EXPECT_EQ(l.object, nullptr);
        }
        if (id == 4) {  // the moving light starts at the centre of its lamp sphere
            expectVec(s.animatedObjects[0]->sphere.centre, l.position.x, l.position.y, l.position.z, 0);
        }
        if (id == 9) {
            EXPECT_FLOAT_EQ(l.area, 0.36f);
            EXPECT_FLOAT_EQ(l.area, static_cast<float>(length(cross(l.object->patch.edgeA, l.object->patch.edgeB))));
        }
    }
}

TEST(DemoScenes, MirrorsphereAndBalls) {
    const std::unique_ptr<Scene> scene1 = buildScene(1);
    const Scene& s = *scene1;
    EXPECT_EQ(materialNames(s), (std::vector<std::string>{"Ground", "Metal"}));
    const auto objects = leafObjects(s);
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

    const std::unique_ptr<Scene> scene2 = buildScene(2);
    const Scene& b = *scene2;
    EXPECT_EQ(materialNames(b), (std::vector<std::string>{"Ground", "Copper", "Silver", "Gold"}));
    const auto balls = leafObjects(b);
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
    const std::unique_ptr<Scene> scene3 = buildScene(3);
    const Scene& s = *scene3;
    const auto objects = leafObjects(s);
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

// The hand-built node `k` and flat node `n` of the same scene: the same split or the same list, and
// so on down both trees.
void expectSameTree(const Scene& s, const KdNode& k, uint32_t n) {
    const AccelNode& node = s.tree.nodes[n];
    ASSERT_EQ(node.axis, k.axis);
    if (node.isLeaf()) {
        const std::vector<uint32_t> listed(s.tree.objectIndices.begin() + node.objectBegin(),
                                           s.tree.objectIndices.begin() + node.objectEnd());
        EXPECT_EQ(listed, k.objects);
        return;
    }
    EXPECT_EQ(node.split, k.split);
    expectSameTree(s, s.treeNodes[k.below], node.below());
    expectSameTree(s, s.treeNodes[k.above], node.above());
}

TEST(DemoScenes, FlatTreesAreTheHandBuiltOnesNodeByNode) {
    for (int id = 1; id <= 9; ++id) {
        SCOPED_TRACE(id);
        const std::unique_ptr<Scene> s = buildScene(id);
        // The hand-built root: the one node no split points to.
        std::vector<bool> child(s->treeNodes.size(), false);
        for (const KdNode& k : s->treeNodes)
            if (k.axis != 0) child[k.below] = child[k.above] = true;
        ASSERT_EQ(std::count(child.begin(), child.end(), false), 1);
        const KdNode& root = s->treeNodes[static_cast<size_t>(std::find(child.begin(), child.end(), false) - child.begin())];
        expectSameTree(*s, root, 0);
        size_t listed = 0;
        for (const KdNode& k : s->treeNodes) listed += k.objects.size();
        EXPECT_EQ(s->tree.objectIndices.size(), listed);
        EXPECT_EQ(s->tree.nodes.size(), s->treeNodes.size());
    }
}

TEST(DemoScenes, Shadows1Tree) {
    const std::unique_ptr<Scene> scene4 = buildScene(4);
    const Scene& s = *scene4;
    const std::vector<AccelNode>& nodes = s.tree.nodes;
    const AccelNode& root = nodes[0];
    ASSERT_EQ(root.axis, 1);
    EXPECT_EQ(root.split, 0.7f);
    const uint32_t leafD = root.above(), low = root.below();
    ASSERT_EQ(nodes[leafD].axis, 0);
    ASSERT_EQ(nodes[low].axis, 1);
    EXPECT_EQ(nodes[low].split, -0.65f);
    const uint32_t leafA = nodes[low].below(), slab = nodes[low].above();
    ASSERT_EQ(nodes[leafA].axis, 0);
    ASSERT_EQ(nodes[slab].axis, 2);
    EXPECT_EQ(nodes[slab].split, 0.0f);
    const uint32_t leafB = nodes[slab].below(), leafC = nodes[slab].above();
    ASSERT_EQ(nodes[leafB].axis, 0);
    ASSERT_EQ(nodes[leafC].axis, 0);

    const auto a = leafObjects(s, leafA), b = leafObjects(s, leafB), c = leafObjects(s, leafC),
               d = leafObjects(s, leafD);
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
    const std::unique_ptr<Scene> scene5 = buildScene(5);
    const Scene& t = *scene5;
    const auto torusLeaf = leafObjects(t);
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

    const std::unique_ptr<Scene> scene6 = buildScene(6);
    const Scene& sp = *scene6;
    const auto balls = leafObjects(sp);
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
    for (int i : {1, 2, 4, 5, 7, 8})
        EXPECT_NEAR(std::hypot(balls[i]->sphere.centre.x, balls[i]->sphere.centre.y), 1.0, 1e-5);

    const std::unique_ptr<Scene> scene7 = buildScene(7);
    const Scene& al = *scene7;
    const auto leaf = leafObjects(al);
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

    const std::unique_ptr<Scene> scene8 = buildScene(8);
    const Scene& egg = *scene8;
    const auto eggLeaf = leafObjects(egg);
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
    const std::unique_ptr<Scene> scene9 = buildScene(9);
    const Scene& s = *scene9;
    const auto leaf = leafObjects(s);
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

TEST(DemoScenes, RebuildingGivesIdenticalData) {
    for (int id = 1; id <= kSceneCount; ++id) {
        const std::unique_ptr<Scene> a = buildScene(id), b = buildScene(id);
        const auto& first = a->objects;
        const auto& again = b->objects;
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

// Run under the address sanitizer, this loop shows that a dropped scene releases everything.
TEST(DemoScenes, BuildingAThousandScenes) {
    for (int i = 0; i < 1000; ++i) {
        const int id = 1 + (i * 4) % kSceneCount;  // 4 is coprime to 9: every scene, mixed order
        const std::unique_ptr<Scene> scene = buildScene(id);
        ASSERT_EQ(scene->id(), id);
        const SceneObject* lightObject = scene->firstLight()->object;
        if (id == 7 || id == 9) {
            ASSERT_EQ(lightObject, scene->freeObject);
        } else {
            ASSERT_EQ(lightObject, nullptr);
        }
        animateScene(*scene, 16.0 * i);
    }
}

}  // namespace
}  // namespace lumo
