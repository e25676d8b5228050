#include "scene/scene.h"

#include <cmath>

namespace lumo {

void placeEyeOnOrbit(Camera& c) {
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
