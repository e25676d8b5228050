#include "scene/accel.h"

namespace lumo {

namespace {

void flatten(const std::deque<KdNode>& nodes, const KdNode& k, uint32_t index, Accel& out) {
    AccelNode n;
    if (k.axis >= 1 && k.axis <= 3) {
        n.axis = k.axis;
        n.split = k.split;
        out.nodes[index] = n;
        n.first = static_cast<uint32_t>(out.nodes.size());
        out.nodes.emplace_back();
        flatten(nodes, nodes[k.below], n.first, out);
        n.second = static_cast<uint32_t>(out.nodes.size());
        out.nodes.emplace_back();
        flatten(nodes, nodes[k.above], n.second, out);
    } else {
        n.first = static_cast<uint32_t>(out.objectIndices.size());
        if (k.axis == 0) out.objectIndices.insert(out.objectIndices.end(), k.objects.begin(), k.objects.end());
        n.second = static_cast<uint32_t>(out.objectIndices.size()) - n.first;
    }
    out.nodes[index] = n;
}

}  // namespace

Accel flattenKdTree(const std::deque<KdNode>& nodes, const KdNode& root) {
    Accel out;
    flatten(nodes, root, 0, out);
    return out;
}

}  // namespace lumo
