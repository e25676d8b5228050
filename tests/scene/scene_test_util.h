// Helpers for the demo-scene tests.
#pragma once

#include <vector>

#include "scene/scene.h"

namespace lumo::test {

// The objects of leaf `node` of the scene's tree, in list order.
inline std::vector<SceneObject*> leafObjects(const Scene& scene, uint32_t node = 0) {
    std::vector<SceneObject*> out;
    const AccelNode& n = scene.tree.nodes[node];
    if (!n.isLeaf()) return out;
    for (uint32_t i = n.objectBegin(); i < n.objectEnd(); ++i) out.push_back(&scene.object(scene.tree.objectIndices[i]));
    return out;
}

inline Vec3 patchCentre(const SceneObject& o) {
    const PlanarPatch& p = o.patch;
    return add(p.origin, scale(0.5f, add(p.edgeA, p.edgeB)));
}

}  // namespace lumo::test
