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

SceneObject& Scene::newMeshPart(const Material* material, uint16_t flags) {
    SceneObject& o = newObject();
    o.type = kMeshFaces;
    o.flags = flags;
    o.material = material;
    o.faces = MeshFaces{&meshes, static_cast<uint32_t>(meshes.objects.size()), 0, false, false};
    meshes.objects.push_back(&o);
    return o;
}

SceneObject& Scene::newObject() {
    SceneObject& o = objects.emplace_back();
    o.index = static_cast<uint32_t>(objects.size() - 1);
    objectTable.push_back(&o);
    return o;
}

void Scene::dropLastObject() {
    objects.pop_back();
    objectTable.pop_back();
}

ShapeTransform& Scene::newTransform() { return transforms.emplace_back(); }

KdNode& Scene::newLeaf() {
    KdNode& n = treeNodes.emplace_back();
    n.id = static_cast<uint32_t>(treeNodes.size() - 1);
    return n;
}

KdNode& Scene::newSplit(int axis, float split, KdNode& below, KdNode& above) {
    KdNode& n = newLeaf();
    n.axis = axis;
    n.split = split;
    n.below = below.id;
    n.above = above.id;
    return n;
}

void Scene::append(KdNode& leaf, SceneObject& object) {
    leaf.objects.push_back(object.index);
    ++object.leafCount;
}

void Scene::setTree(const KdNode& root) { tree = flattenKdTree(treeNodes, root); }

}  // namespace lumo
