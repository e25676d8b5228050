#include "photon/quadtree.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "shade/photon_estimate.h"

namespace lumo {

namespace {

constexpr Vec3 kBlack{0.0f, 0.0f, 0.0f};

void initNode(PhotonQuadNode& n) {
    n.sum = kBlack;
    n.corner00 = n.corner10 = n.corner01 = n.corner11 = kBlack;
    n.count = 0;
    n.children[0] = n.children[1] = n.children[2] = n.children[3] = nullptr;
    n.photons = nullptr;
}

// All four children or none: a split that cannot get four nodes does not happen.
bool createChildren(NodePools& pools, PhotonQuadNode& n) {
    PhotonQuadNode* c[4];
    for (auto& slot : c) {
        slot = allocateNode(pools);
        if (!slot) return false;
    }
    for (int q = 0; q < 4; ++q) {
        initNode(*c[q]);
        n.children[q] = c[q];
    }
    return true;
}

void fileInNode(PhotonQuadNode& n, Photon* p) {
    p->next = n.photons;
    n.photons = p;
    addInPlace(n.sum, scale(p->power, wavelengthToRgb(p->wavelength)));
    n.count += 1;
}

Vec3& corner(PhotonQuadNode& n, int k) {
    switch (k) {
        case 0: return n.corner00;
        case 1: return n.corner10;
        case 2: return n.corner01;
        default: return n.corner11;
    }
}

Vec3 mid(const Vec3& a, const Vec3& b) { return scale(0.5f, add(a, b)); }

// The neighbour of a cell in direction (dx, dy), dx and dy in {-1, 0, 1}.
int neighbourIndex(int dx, int dy) {
    static constexpr int table[3][3] = {
        // dy = -1      dy = 0   dy = 1
        {kBelowLeft, kLeft, kAboveLeft},     // dx = -1
        {kBelow, -1, kAbove},                // dx = 0
        {kBelowRight, kRight, kAboveRight},  // dx = 1
    };
    return table[dx + 1][dy + 1];
}

constexpr int kDirection[8][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

// The four cells around each corner of a cell, listed lower-left, lower-right, upper-left, upper-right
// (-1 = the cell itself). The cell at position j meets the vertex with its own corner 3 - j. Summing
// in this fixed order gives every cell sharing the vertex the same bits.
constexpr int kCellsAroundCorner[4][4] = {
    {kBelowLeft, kBelow, kLeft, -1},
    {kBelow, kBelowRight, -1, kRight},
    {kLeft, -1, kAboveLeft, kAbove},
    {-1, kRight, kAbove, kAboveRight},
};

}  // namespace

NodePools::~NodePools() {
    for (PhotonQuadNode* pool : pools) delete[] pool;
}

void resetNodePools(NodePools& p) {
    p.poolIndex = -1;
    p.poolUsed = kNodesPerPool + 1;
}

PhotonQuadNode* allocateNode(NodePools& p) {
    if (p.poolUsed >= kNodesPerPool) {
        if (p.poolIndex + 1 >= kNodePoolSlots) return nullptr;
        ++p.poolIndex;
        p.poolUsed = 0;
        if (!p.pools[p.poolIndex]) p.pools[p.poolIndex] = new PhotonQuadNode[kNodesPerPool];
    }
    return &p.pools[p.poolIndex][p.poolUsed++];
}

void resetRoot(PhotonQuadNode& root) {
    root.sum = kBlack;
    root.count = 0;
    root.children[0] = root.children[1] = root.children[2] = root.children[3] = nullptr;
    root.photons = nullptr;
}

void resetQuadtrees(Scene& scene, std::deque<PhotonQuadNode>& roots) {
    forEachParallelogram(scene, [&roots](SceneObject& o) {
        if (!o.patch.photonTree) {
            PhotonQuadNode& root = roots.emplace_back();
            initNode(root);
            o.patch.photonTree = &root;
        }
        resetRoot(*o.patch.photonTree);
    });
}

void insertPhoton(NodePools& pools, PhotonQuadNode* node, float cu, float cv, float s, Photon* photon,
                  int32_t splitCount) {
    if (!node) return;
    if (node->count >= splitCount && s >= kMinSplitCellSize) {
        const float h = 0.5f * s;
        const int q = (cu + h > photon->u ? 0 : 1) + (cv + h > photon->v ? 0 : 2);
        if (!node->children[q] && !createChildren(pools, *node)) {
            fileInNode(*node, photon);  // pools exhausted: this node keeps its photons
            return;
        }
        insertPhoton(pools, node->children[q], (q & 1) ? cu + h : cu, (q & 2) ? cv + h : cv, h, photon, splitCount);
        if (node->photons) {  // first split: move the node's own photons down
            node->count = splitCount + 1;
            node->sum = kBlack;
            Photon* p = node->photons;
            node->photons = nullptr;
            while (p) {
                Photon* next = p->next;
                insertPhoton(pools, node, cu, cv, s, p, splitCount);
                p = next;
            }
        }
        return;
    }
    fileInNode(*node, photon);
}

void fileBatch(NodePools& pools, PhotonQuadNode* node, float cu, float cv, float s, PhotonRef* refs, size_t n,
               int32_t splitCount) {
    if (!node || n == 0) return;
    if (n > static_cast<size_t>(splitCount) && s >= kMinSplitCellSize && createChildren(pools, *node)) {
        node->count = splitCount + 1;
        node->sum = kBlack;
        const float h = 0.5f * s;
        // Quadrants as insertPhoton chooses them: low v before high v, low u before high u.
        PhotonRef* const end = refs + n;
        PhotonRef* const highV = std::partition(refs, end, [&](const PhotonRef& r) { return cv + h > r.v; });
        PhotonRef* const split[5] = {refs, std::partition(refs, highV, [&](const PhotonRef& r) { return cu + h > r.u; }),
                                     highV, std::partition(highV, end, [&](const PhotonRef& r) { return cu + h > r.u; }),
                                     end};
        for (int q = 0; q < 4; ++q)
            fileBatch(pools, node->children[q], (q & 1) ? cu + h : cu, (q & 2) ? cv + h : cv, h, split[q],
                      static_cast<size_t>(split[q + 1] - split[q]), splitCount);
        return;
    }
    // Only stores reach the photons here; everything read comes from the array.
    Vec3 sum = node->sum;
    Photon* head = node->photons;
    for (size_t i = 0; i < n; ++i) {
        const PhotonRef& r = refs[i];
        r.photon->next = head;
        head = r.photon;
        addInPlace(sum, scale(r.power, wavelengthToRgb(r.wavelength)));
    }
    node->sum = sum;
    node->photons = head;
    node->count += static_cast<int32_t>(n);
}

Vec3 sumUp(PhotonQuadNode* node) {
    if (!node) return kBlack;
    if (!node->children[0]) return node->sum;
    Vec3 total = kBlack;
    for (PhotonQuadNode* c : node->children) addInPlace(total, sumUp(c));
    node->sum = total;
    return total;
}

int maxDepth(const PhotonQuadNode* node, int depth) {
    if (!node) return 0;
    int deepest = depth;
    for (const PhotonQuadNode* c : node->children) {
        if (!c) continue;
        const int d = maxDepth(c, depth + 1);
        if (d > deepest) deepest = d;
    }
    return deepest;
}

void differenceLevel(const PhotonQuadNode* root, PhotonQuadNode* node, float cu, float cv, float s, int depth,
                     int target) {
    if (!node) return;
    if (depth < target && node->children[0]) {
        const float h = 0.5f * s;
        for (int q = 0; q < 4; ++q)
            differenceLevel(root, node->children[q], (q & 1) ? cu + h : cu, (q & 2) ? cv + h : cv, h, depth + 1,
                            target);
    } else if (depth == target) {
        const float x = cu / (1.0f - s);
        const float y = cv / (1.0f - s);
        const Vec3 e = evaluateLevels(root, x, y, target - 1);
        node->sum = sub(node->sum, scale(s * s, e));
    }
}

Vec3 cornerDensity(const PhotonQuadNode* node, int k) {
    float factor = 1.0f;
    while (node->children[k]) {
        node = node->children[k];
        factor *= 4.0f;
    }
    return scale(factor, node->sum);
}

void buildPatches(PhotonQuadNode* node, PhotonQuadNode* const neighbours[8], float s, unsigned fixedCorners) {
    if (!node) return;
    const float area = s * s;
    for (int k = 0; k < 4; ++k) {
        if (fixedCorners & (1u << k)) continue;
        Vec3 total = kBlack;
        int contributions = 0;
        for (int j = 0; j < 4; ++j) {
            const int which = kCellsAroundCorner[k][j];
            const PhotonQuadNode* cell = which < 0 ? node : neighbours[which];
            if (!cell) continue;
            addInPlace(total, cornerDensity(cell, 3 - j));
            ++contributions;
        }
        corner(*node, k) = divScalar(total, area * static_cast<float>(contributions));
    }
    if (!node->children[0]) return;

    for (int c = 0; c < 4; ++c) {
        PhotonQuadNode* child = node->children[c];
        if (!child) continue;
        const int cx = c & 1;
        const int cy = c >> 1;
        const PhotonQuadNode* horizontal = neighbours[cy == 0 ? kBelow : kAbove];
        const PhotonQuadNode* vertical = neighbours[cx == 0 ? kLeft : kRight];
        const PhotonQuadNode* diagonal = neighbours[neighbourIndex(cx == 0 ? -1 : 1, cy == 0 ? -1 : 1)];
        const Vec3& own = corner(*node, c);
        unsigned flags = 0;
        // Where the adjacent cell of the child's level is missing, the child's edge lies on a coarser
        // cell's edge (or on an edge the parent fixed) and must follow it linearly.
        const unsigned hBits = (1u << c) | (1u << (c ^ 1));
        if ((horizontal && !horizontal->children[c ^ 2]) || (fixedCorners & hBits) == hBits) {
            corner(*child, c ^ 1) = mid(own, corner(*node, c ^ 1));
            corner(*child, c) = own;
            flags |= hBits;
        }
        const unsigned vBits = (1u << c) | (1u << (c ^ 2));
        if ((vertical && !vertical->children[c ^ 1]) || (fixedCorners & vBits) == vBits) {
            corner(*child, c ^ 2) = mid(own, corner(*node, c ^ 2));
            corner(*child, c) = own;
            flags |= vBits;
        }
        if ((diagonal && !diagonal->children[c ^ 3]) || (fixedCorners & (1u << c))) {
            corner(*child, c) = own;
            flags |= 1u << c;
        }
        PhotonQuadNode* childNeighbours[8];
        for (int n = 0; n < 8; ++n) {
            const int gx = cx + kDirection[n][0];
            const int gy = cy + kDirection[n][1];
            const int px = gx < 0 ? -1 : (gx > 1 ? 1 : 0);
            const int py = gy < 0 ? -1 : (gy > 1 ? 1 : 0);
            const int index = (gx & 1) + 2 * (gy & 1);
            const PhotonQuadNode* cell = (px == 0 && py == 0) ? node : neighbours[neighbourIndex(px, py)];
            childNeighbours[n] = cell ? cell->children[index] : nullptr;
        }
        buildPatches(child, childNeighbours, 0.5f * s, flags);
    }
}

void precomputePatches(const Scene& scene, int kernel) {
    // An object listed in several leaves is prepared once: differencing twice would corrupt its tree.
    std::vector<const PhotonQuadNode*> done;
    forEachParallelogram(scene, [kernel, &done](SceneObject& o) {
        PhotonQuadNode* root = o.patch.photonTree;
        if (!root) return;
        for (const PhotonQuadNode* r : done)
            if (r == root) return;
        done.push_back(root);
        sumUp(root);
        if (kernel == 4) {
            const int deepest = maxDepth(root, 0);
            for (int level = 2; level <= deepest; ++level) differenceLevel(root, root, 0.0f, 0.0f, 1.0f, 0, level);
        } else if (kernel == 6) {
            PhotonQuadNode* const none[8] = {};
            buildPatches(root, none, 1.0f, 0);
        }
    });
}


}  // namespace lumo
