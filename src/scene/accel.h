// The scene's acceleration tree in its one flat form: nodes in one array addressed by index, the root
// first, and leaves as ranges of one array of object indices. Every walk reads this; it is built once
// when the scene is made or loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "scene/kd_tree.h"

namespace lumo {

// An inner node splits its cell on `axis` at `split`; a leaf (axis 0) lists objects.
struct AccelNode {
    float split = 0.0f;
    int32_t axis = 0;     // 0 leaf, 1 x, 2 y, 3 z
    uint32_t first = 0;   // inner: index of the child below the split; leaf: first position in objectIndices
    uint32_t second = 0;  // inner: index of the child above the split; leaf: how many objects

    bool isLeaf() const { return axis == 0; }
    uint32_t below() const { return first; }
    uint32_t above() const { return second; }
    uint32_t objectBegin() const { return first; }
    uint32_t objectEnd() const { return first + second; }
};

struct Accel {
    std::vector<AccelNode> nodes{AccelNode{}};  // nodes[0] is the root; at first one empty leaf
    std::vector<uint32_t> objectIndices;        // the leaves' objects, a leaf's in its list order

    size_t bytes() const { return nodes.size() * sizeof(AccelNode) + objectIndices.size() * sizeof(uint32_t); }
};

// The hand-built tree under `root` (nodes addressed by KdNode::id in `nodes`) in flat form: the same
// splits and leaf lists, nodes in depth-first order with the below child first. A node whose axis is
// not 0..3 becomes an empty leaf.
Accel flattenKdTree(const std::deque<KdNode>& nodes, const KdNode& root);

}  // namespace lumo
