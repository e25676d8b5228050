// Automatic subdivision tree for scenes that do not come with a hand-built one: a kd-tree whose split
// planes minimise the surface-area cost estimate, in the renderer's own node format.
#pragma once

#include <cstddef>

#include "scene/scene.h"

namespace lumo {

struct KdBuildStats {
    size_t innerNodes = 0;
    size_t leaves = 0;
    size_t references = 0;  // list entries over all leaves (an object in several leaves counts in each)
    size_t bytes = 0;       // the flat tree: nodes plus object indices
    double seconds = 0.0;
    int depth = 0;          // deepest leaf; the root alone is depth 0
    size_t skipped = 0;     // objects left out of the tree: unknown shape or no finite bounds
};

// World-space box that encloses the object's surface (slightly padded; conservative where the exact
// box is costly). False when the object has none: unknown type, empty shape or non-finite values.
bool objectBounds(const SceneObject& object, Box& box);

// Replaces the scene's tree by one built over every object except scene.freeObject: sets
// scene.tree, scene.bounds (the box of all objects, padded) and every object's leafCount. The
// scene's previous tree (and any hand-built nodes) are released; when the build throws (out of memory)
// the scene keeps its old tree and bounds. Built on `threads` threads; the tree is the same for any
// count. An empty scene gets one empty leaf.
KdBuildStats buildKdTree(Scene& scene, int threads = 1);

}  // namespace lumo
