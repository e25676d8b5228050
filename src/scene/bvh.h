// The bounding volume hierarchy of scenes read from files: four-wide nodes whose child boxes sit in
// structure-of-arrays form for one SIMD test, leaves of either mesh triangles (a run of the scene's
// MeshStore, which the build puts in leaf order) or other objects (a run of `objects`). Every
// primitive is in exactly one leaf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumo {

struct Scene;

inline constexpr int kBvhWidth = 4;
// In BvhNode::count: the leaf lists objects rather than triangles.
inline constexpr uint32_t kBvhObjectLeaf = 0x80000000u;
// Most levels of nodes: the build splits at the median below kMaxBvhDepth - 32 levels, so the walks'
// stacks have a fixed size.
inline constexpr int kMaxBvhDepth = 64;
// The walks stretch a box's far distance by this factor, so that rounding never lets a ray pass
// between a box and a triangle on its face.
inline constexpr float kBvhBoxReach = 1.0000004f;

struct alignas(64) BvhNode {
    float lo[3][kBvhWidth];     // child boxes by axis; an empty slot has lo = +inf, hi = -inf
    float hi[3][kBvhWidth];
    uint32_t child[kBvhWidth];  // inner child: node index; leaf: first triangle or first entry of objects
    uint32_t count[kBvhWidth];  // 0: inner child or empty slot; else the leaf's entries (| kBvhObjectLeaf)
};

struct Bvh {
    std::vector<BvhNode> nodes;     // nodes[0] is the root
    std::vector<uint32_t> objects;  // object indices of the object leaves

    size_t bytes() const { return nodes.size() * sizeof(BvhNode) + objects.size() * sizeof(uint32_t); }
};

struct BvhBuildStats {
    size_t nodes = 0;
    size_t leaves = 0;
    size_t primitives = 0;
    double seconds = 0.0;
};

// Builds scene.bvh over the scene's mesh triangles and every object but the free object, the mesh
// part objects, objects without bounds and those with leaveOut[index] set (leaveOut may be shorter
// than the object list). Reorders scene.meshes into leaf order, sets scene.bounds (padded),
// every object's leafCount (1 in the tree, else 0) and makes the BVH the tree the walks use. Binned
// surface-area splits, worked on `threads` threads; the tree is the same for any thread count.
BvhBuildStats buildBvh(Scene& scene, int threads, const std::vector<bool>& leaveOut = {});

}  // namespace lumo
