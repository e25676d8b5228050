// Helpers for the demo-scene tests.
#pragma once

#include <vector>

#include "scene/scene.h"

namespace lumo::test {

inline std::vector<SceneObject*> leafObjects(const KdNode* leaf) {
    std::vector<SceneObject*> out;
    for (const ObjectNode* n = leaf->objects(); n; n = n->next) out.push_back(n->object);
    return out;
}

inline Vec3 patchCentre(const SceneObject& o) {
    const PlanarPatch& p = o.patch;
    return add(p.origin, scale(0.5f, add(p.edgeA, p.edgeB)));
}

}  // namespace lumo::test
