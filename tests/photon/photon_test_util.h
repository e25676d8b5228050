// Helpers for the photon tests: hand-made photons and tree walks.
#pragma once

#include <deque>
#include <vector>

#include "photon/quadtree.h"

namespace lumo::test {

// Photons that stay put (the trees link them through their next fields).
struct PhotonSet {
    std::deque<Photon> photons;
    SceneObject* object = nullptr;

    Photon* add(float u, float v, float power = 1.0f, float wavelength = 555.0f) {
        photons.push_back(Photon{nullptr, u, v, power, wavelength, object});
        return &photons.back();
    }
};

struct Cell {
    PhotonQuadNode* node;
    float u0, v0, s;
    int depth;
};

inline void collectCells(PhotonQuadNode* n, float u0, float v0, float s, int depth, std::vector<Cell>& out,
                         bool leavesOnly) {
    if (!n) return;
    const bool leaf = !n->children[0];
    if (leaf || !leavesOnly) out.push_back({n, u0, v0, s, depth});
    if (leaf) return;
    const float h = 0.5f * s;
    for (int q = 0; q < 4; ++q)
        collectCells(n->children[q], (q & 1) ? u0 + h : u0, (q & 2) ? v0 + h : v0, h, depth + 1, out, leavesOnly);
}

inline std::vector<Cell> leaves(PhotonQuadNode* root) {
    std::vector<Cell> out;
    collectCells(root, 0.0f, 0.0f, 1.0f, 0, out, true);
    return out;
}

inline std::vector<Cell> allCells(PhotonQuadNode* root) {
    std::vector<Cell> out;
    collectCells(root, 0.0f, 0.0f, 1.0f, 0, out, false);
    return out;
}

inline int listLength(const Photon* p) {
    int n = 0;
    for (; p; p = p->next) ++n;
    return n;
}

// A fresh root with pools reset, as a pass starts.
inline PhotonQuadNode freshRoot(NodePools& pools) {
    resetNodePools(pools);
    PhotonQuadNode root{};
    resetRoot(root);
    root.corner00 = root.corner10 = root.corner01 = root.corner11 = Vec3{0.0f, 0.0f, 0.0f};
    return root;
}

}  // namespace lumo::test
