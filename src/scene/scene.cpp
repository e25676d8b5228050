#include "scene/scene.h"

#include <cmath>

namespace lumo {

void placeEyeOnOrbit(Camera& c) {
    const float a = c.cameraAzimuth;
    const float e = c.cameraElevation;
    const float r = c.orbitRadius;
    const Vec3 offset{r * static_cast<float>(std::cos(e) * std::sin(a)), -r * static_cast<float>(std::cos(e) * std::cos(a)),
                      r * static_cast<float>(std::sin(e))};
    const Vec3& o = c.orbitCentre;
    // The demo scenes orbit the origin: their eye stays exactly the offset (no -0 turned into +0).
    c.eyePosition = o.x == 0.0f && o.y == 0.0f && o.z == 0.0f ? offset : add(o, offset);
}

Material& Scene::newMaterial(const char* name) {
    Material& m = materials.emplace_back();
    m.name = name;
    m.next = materialList;
    materialList = &m;
    return m;
}

SceneObject& Scene::newObject() {
    SceneObject& o = objects.emplace_back();
    o.index = static_cast<uint32_t>(objects.size() - 1);
    return o;
}

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
    ++object.leafCount;
    if (!leaf.below) {
        leaf.below = &node;
        return;
    }
    ObjectNode* last = leaf.objects();
    while (last->next) last = last->next;
    last->next = &node;
}

}  // namespace lumo
