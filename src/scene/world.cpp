#include "scene/world.h"

#include <cmath>

namespace lumo {

// The one light record. Defined before theWorld so that it outlives the scene, whose destructor
// may still touch it at exit.
static Light theLight;
World theWorld;

void ensureLight() {
    if (!world().lights) world().lights = &theLight;
}

void setScene(std::unique_ptr<Scene> scene) {
    // The new scene is in place (and the light, written by its builder, points into it) before the
    // old one's objects are freed.
    std::unique_ptr<Scene> previous = std::move(world().scene);
    world().scene = std::move(scene);
    previous.reset();
}

Scene::~Scene() {
    Light* light = world().lights;
    if (!light || !light->object) return;
    for (const SceneObject& o : objects)
        if (&o == light->object) {
            light->object = nullptr;
            return;
        }
}

void placeEyeOnOrbit() {
    Camera& c = camera();
    const float a = c.cameraAzimuth;
    const float e = c.cameraElevation;
    c.eyePosition = {7.0f * static_cast<float>(std::cos(e) * std::sin(a)),
                     -7.0f * static_cast<float>(std::cos(e) * std::cos(a)), 7.0f * static_cast<float>(std::sin(e))};
}

Material& Scene::newMaterial(const char* name) {
    Material& m = materials.emplace_back();
    m.name = name;
    m.next = materialList;
    materialList = &m;
    return m;
}

SceneObject& Scene::newObject() { return objects.emplace_back(); }

ShapeTransform& Scene::newTransform() { return transforms.emplace_back(); }

KdNode& Scene::newLeaf() { return treeNodes.emplace_back(); }

KdNode& Scene::newSplit(int axis, float split, KdNode& below, KdNode& above) {
    KdNode& n = treeNodes.emplace_back();
    n.axis = axis;
    n.split = split;
    n.below = &below;
    n.above = &above;
    return n;
}

void Scene::append(KdNode& leaf, SceneObject& object) {
    ObjectNode& node = listNodes.emplace_back();
    node.object = &object;
    if (!leaf.below) {
        leaf.below = &node;
        return;
    }
    ObjectNode* last = leaf.objects();
    while (last->next) last = last->next;
    last->next = &node;
}

}  // namespace lumo
