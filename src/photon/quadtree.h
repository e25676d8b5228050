// Per-surface photon quadtrees over (u, v) in the unit square, their node pools and the
// per-pass precomputation the smooth interpolation kernels read.
#pragma once

#include <cstdint>
#include <deque>

#include "core/vec3.h"
#include "photon/photon_store.h"
#include "scene/scene.h"
#include "scene/photon_map.h"
#include "scene/scene.h"

namespace lumo {

inline constexpr int kNodePoolSlots = 500;
inline constexpr int kNodesPerPool = 1024;
// Cells narrower than this never split (2^-10 is the first size below it).
inline constexpr float kMinSplitCellSize = 0.001f;

// The nodes below the roots of one scene's quadtrees. A pool, once allocated, is reused by later
// builds and released with the pools.
struct NodePools {
    PhotonQuadNode* pools[kNodePoolSlots] = {};
    int32_t poolIndex = -1;
    int32_t poolUsed = kNodesPerPool + 1;

    NodePools() = default;
    NodePools(const NodePools&) = delete;
    NodePools& operator=(const NodePools&) = delete;
    ~NodePools();
};

// Next build hands out nodes from pool 0 again.
void resetNodePools(NodePools& pools);
// A node from the pools, uninitialised; null when all pools are used up.
PhotonQuadNode* allocateNode(NodePools& pools);

// Gives every parallelogram of the scene tree an empty root, allocating it in `roots` on first use.
void resetQuadtrees(Scene& scene, std::deque<PhotonQuadNode>& roots);
// Root reset as resetQuadtrees does it: corners are left as they were.
void resetRoot(PhotonQuadNode& root);

// Files photon into the tree of node, whose cell has lower corner (cu, cv) and size s. A node holds up
// to splitCount photons; the next one splits it into four children and moves all of them down. When
// no node can be had, the node keeps its photons instead of splitting.
void insertPhoton(NodePools& pools, PhotonQuadNode* node, float cu, float cv, float s, Photon* photon,
                  int32_t splitCount);

// A photon to be filed, with the fields filing reads copied next to it: partitioning and summing then
// run over one array instead of chasing photons scattered over the blocks.
struct PhotonRef {
    float u;
    float v;
    float power;
    float wavelength;
    Photon* photon;
};

// Files a batch of photons into an empty node (fresh from resetRoot). The tree comes out with the
// shape, counts and sums that inserting them one by one gives (cells split exactly where more than
// splitCount photons fall), but the photons are partitioned in an array instead of being re-linked at
// every split, and each photon's colour is computed once. refs is reordered.
void fileBatch(NodePools& pools, PhotonQuadNode* node, float cu, float cv, float s, PhotonRef* refs, size_t n,
               int32_t splitCount);

// Inner nodes' sums become the sums of their children; returns the node's sum.
Vec3 sumUp(PhotonQuadNode* node);
int maxDepth(const PhotonQuadNode* node, int depth);
// Turns the sums of the nodes at depth `target` into differences from the levels above.
void differenceLevel(const PhotonQuadNode* root, PhotonQuadNode* node, float cu, float cv, float s, int depth,
                     int target);
// Finest density at corner k of node's cell, in the units of node's level.
Vec3 cornerDensity(const PhotonQuadNode* node, int k);

// Neighbours of a cell at its own level, null where there is none.
enum Neighbour { kBelow, kAbove, kLeft, kRight, kBelowLeft, kBelowRight, kAboveLeft, kAboveRight };
// Writes crack-free bilinear corner values into every node; bit k of fixedCorners marks corner k as
// already set by the parent.
void buildPatches(PhotonQuadNode* node, PhotonQuadNode* const neighbours[8], float s, unsigned fixedCorners);

// The preparation the given kernel needs, for every parallelogram in the scene tree.
void precomputePatches(const Scene& scene, int kernel);

// Colour of a photon of wavelength lambda (nm): the spectral weights of (0.68292, 0, 0), (0, 1, 0)
// and (0, 0, 1.16667), worked out for the three one-channel colours in one band lookup.
inline Vec3 wavelengthToRgb(float lambda) {
    constexpr float r = 0.68292f;
    constexpr float b = 1.16667f;
    const float l = lambda;
    if (l <= 380.0f) return {0.0f, 0.0f, 0.0f};
    if (l <= 410.0f) {
        const float k = (l - 380.0f) / 30.0f;
        return {k * r, 0.0f, k * b};
    }
    if (l <= 470.0f) return {(470.0f - l) / 60.0f * r, 0.0f, b};
    if (l <= 500.0f) return {0.0f, (l - 470.0f) / 30.0f, b};
    if (l <= 530.5f) {
        const float blue = (530.0f - l) / 30.0f * b;
        return {0.0f, 1.0f, blue > 0.0f ? blue : 0.0f};
    }
    if (l <= 590.0f) return {(l - 530.0f) / 60.0f * r, 1.0f, 0.0f};
    if (l <= 660.0f) return {r, (660.0f - l) / 70.0f, 0.0f};
    if (l < 780.0f) return {r * (780.0f - l) / 120.0f, 0.0f, 0.0f};
    return {0.0f, 0.0f, 0.0f};
}

// Calls fn(object) for every parallelogram listed in the scene tree, leaf by leaf in the tree's order
// (objects in several leaves of a flat tree repeat).
template <typename Fn>
void forEachParallelogram(const Scene& scene, Fn&& fn) {
    if (scene.usesBvh) {
        for (uint32_t index : scene.bvh.objects) {
            SceneObject& o = scene.object(index);
            if (o.type == kParallelogram) fn(o);
        }
        return;
    }
    const Accel& tree = scene.tree;
    for (const AccelNode& node : tree.nodes) {
        if (!node.isLeaf()) continue;
        for (uint32_t i = node.objectBegin(); i < node.objectEnd(); ++i) {
            SceneObject& o = scene.object(tree.objectIndices[i]);
            if (o.type == kParallelogram) fn(o);
        }
    }
}

}  // namespace lumo
