#include "shade/photon_estimate.h"

namespace lumo {

namespace {

constexpr Vec3 kBlack{0.0f, 0.0f, 0.0f};
constexpr int kMaxLevels = 32;

// The sample points of one level spread evenly over [0, 1], first at 0 and last at 1, so that the
// level's tents sum to 1 inside the square. The root (s = 1) has no such point: weight 0.
inline float stretchedTent(float u, float v, float cu, float cv, float s) {
    if (s >= 1.0f) return 0.0f;
    const float inv = 1.0f - s;
    return tentWeight(u - cu / inv, v - cv / inv, s / inv);
}

// Every descendant of a cell (u0, v0, s) has its stretched sample point in [u0, u0 + s] (both ways)
// and a stretched radius of at most that of the cell's children, so none of their tents reaches a
// query farther out than that; skipping them changes no sum. The margin covers float rounding.
inline bool descendantsMayReach(float u, float v, float u0, float v0, float s) {
    const float h = 0.5f * s;
    const float reach = h / (1.0f - h) * 1.001f + 1e-6f;
    return u > u0 - reach && u < u0 + s + reach && v > v0 - reach && v < v0 + s + reach;
}

struct WeightedSum {
    Vec3 colour{0.0f, 0.0f, 0.0f};
    float weight = 0.0f;

    void add(const PhotonQuadNode& n, float w, float s) {
        addInPlace(colour, scale(w / (s * s), n.sum));
        weight += w;
    }
    Vec3 normalised() const { return weight > 0.001f ? divScalar(colour, weight) : colour; }
};

// Descends to the leaf whose cell holds (u, v); a point on a midline belongs to the high side.
inline const PhotonQuadNode* findLeaf(const PhotonQuadNode* n, float u, float v, float& u0, float& v0, float& s) {
    u0 = 0.0f;
    v0 = 0.0f;
    s = 1.0f;
    for (;;) {
        const float h = 0.5f * s;
        const int q = (u >= u0 + h ? 1 : 0) + (v >= v0 + h ? 2 : 0);
        const PhotonQuadNode* child = n->children[q];
        if (!child) return n;
        if (q & 1) u0 += h;
        if (q & 2) v0 += h;
        s = h;
        n = child;
    }
}

// Leaf-centred tents of radius radiusFactor x leaf size; a child is entered only when its tent can
// reach the query.
void centreKernel(const PhotonQuadNode& n, float u0, float v0, float s, float u, float v, float radiusFactor,
                  WeightedSum& acc) {
    if (!n.children[0]) {
        const float h = 0.5f * s;
        acc.add(n, tentWeight(u - (u0 + h), v - (v0 + h), radiusFactor * s), s);
        return;
    }
    const float h = 0.5f * s;
    const float reach = radiusFactor * h;
    for (int q = 0; q < 4; ++q) {
        const float cu = (q & 1) ? u0 + h : u0;
        const float cv = (q & 2) ? v0 + h : v0;
        if (std::fabs(u - (cu + 0.5f * h)) < reach && std::fabs(v - (cv + 0.5f * h)) < reach)
            centreKernel(*n.children[q], cu, cv, h, u, v, radiusFactor, acc);
    }
}

void stretchedLeaves(const PhotonQuadNode& n, float u0, float v0, float s, float u, float v, WeightedSum& acc) {
    if (!n.children[0]) {
        acc.add(n, stretchedTent(u, v, u0, v0, s), s);
        return;
    }
    if (!descendantsMayReach(u, v, u0, v0, s)) return;
    const float h = 0.5f * s;
    for (int q = 0; q < 4; ++q)
        stretchedLeaves(*n.children[q], (q & 1) ? u0 + h : u0, (q & 2) ? v0 + h : v0, h, u, v, acc);
}

void differentialLevels(const PhotonQuadNode& n, float u0, float v0, float s, float u, float v, Vec3& acc) {
    if (s < 0.75f) addInPlace(acc, scale(stretchedTent(u, v, u0, v0, s) / (s * s), n.sum));
    if (!n.children[0] || !descendantsMayReach(u, v, u0, v0, s)) return;
    const float h = 0.5f * s;
    for (int q = 0; q < 4; ++q)
        differentialLevels(*n.children[q], (q & 1) ? u0 + h : u0, (q & 2) ? v0 + h : v0, h, u, v, acc);
}

struct LevelSums {
    Vec3 colour[kMaxLevels];
    float weight[kMaxLevels];
    int deepest = 0;
};

void stackedLevels(const PhotonQuadNode& n, float u0, float v0, float s, int depth, float u, float v, LevelSums& acc) {
    if (depth >= kMaxLevels) return;
    const float w = stretchedTent(u, v, u0, v0, s);
    addInPlace(acc.colour[depth], scale(w / (s * s), n.sum));
    acc.weight[depth] += w;
    if (depth > acc.deepest) acc.deepest = depth;
    // Levels below the deepest one reached add nothing: S = 0 and W = 0 leave H as it is.
    if (!n.children[0] || !descendantsMayReach(u, v, u0, v0, s)) return;
    const float h = 0.5f * s;
    for (int q = 0; q < 4; ++q)
        stackedLevels(*n.children[q], (q & 1) ? u0 + h : u0, (q & 2) ? v0 + h : v0, h, depth + 1, u, v, acc);
}

void levelsUpTo(const PhotonQuadNode& n, float u0, float v0, float s, int depth, int last, float u, float v, Vec3& acc) {
    if (depth > 0) addInPlace(acc, scale(stretchedTent(u, v, u0, v0, s) / (s * s), n.sum));
    if (depth >= last || !n.children[0] || !descendantsMayReach(u, v, u0, v0, s)) return;
    const float h = 0.5f * s;
    for (int q = 0; q < 4; ++q)
        levelsUpTo(*n.children[q], (q & 1) ? u0 + h : u0, (q & 2) ? v0 + h : v0, h, depth + 1, last, u, v, acc);
}

}  // namespace

Vec3 evaluateLevels(const PhotonQuadNode* root, float pu, float pv, int lastLevel) {
    Vec3 acc = kBlack;
    if (root) levelsUpTo(*root, 0.0f, 0.0f, 1.0f, 0, lastLevel, pu, pv, acc);
    return acc;
}

Vec3 evaluateKernel(const PhotonQuadNode* root, float u, float v, int kernel) {
    if (!root) return kBlack;
    switch (kernel) {
        case 0: {
            float u0, v0, s;
            const PhotonQuadNode* leaf = findLeaf(root, u, v, u0, v0, s);
            return divScalar(leaf->sum, s * s);
        }
        case 1:
        case 2: {
            WeightedSum acc;
            centreKernel(*root, 0.0f, 0.0f, 1.0f, u, v, kernel == 1 ? 1.0f : 2.0f, acc);
            return acc.normalised();
        }
        case 3: {
            WeightedSum acc;
            stretchedLeaves(*root, 0.0f, 0.0f, 1.0f, u, v, acc);
            return acc.normalised();
        }
        case 4: {
            Vec3 acc = kBlack;
            differentialLevels(*root, 0.0f, 0.0f, 1.0f, u, v, acc);
            return acc;
        }
        case 5: {
            LevelSums acc;  // per call: render threads never share these
            for (int i = 0; i < kMaxLevels; ++i) {
                acc.colour[i] = kBlack;
                acc.weight[i] = 0.0f;
            }
            stackedLevels(*root, 0.0f, 0.0f, 1.0f, 0, u, v, acc);
            Vec3 h = acc.colour[1];
            for (int i = 2; i <= acc.deepest; ++i) h = add(acc.colour[i], scale(1.0f - acc.weight[i], h));
            return h;
        }
        case 6: {
            float u0, v0, s;
            const PhotonQuadNode* leaf = findLeaf(root, u, v, u0, v0, s);
            const float a = (u - u0) / s;
            const float b = (v - v0) / s;
            const Vec3& c00 = leaf->corner00;
            const Vec3& c10 = leaf->corner10;
            const Vec3& c01 = leaf->corner01;
            const Vec3& c11 = leaf->corner11;
            auto patch = [a, b](float p00, float p10, float p01, float p11) {
                return b * (a * p11 + (1.0f - a) * p01) + (1.0f - b) * (a * p10 + (1.0f - a) * p00);
            };
            return {patch(c00.x, c10.x, c01.x, c11.x), patch(c00.y, c10.y, c01.y, c11.y),
                    patch(c00.z, c10.z, c01.z, c11.z)};
        }
        default: return kBlack;
    }
}

float photonEstimateSceneScale(const SceneDescriptor& scene, int causticPhotonCount, int giPhotonCount) {
    if (scene.causticEstimateScale != 0.0f) return scene.causticEstimateScale / static_cast<float>(causticPhotonCount);
    if (scene.giEstimateScale != 0.0f) return scene.giEstimateScale / static_cast<float>(giPhotonCount);
    return 0.0f;
}

Vec3 photonEstimateFromTree(const SceneDescriptor& scene, const PhotonParams& st, const SceneObject& object,
                            float u, float v) {
    const float sceneScale = photonEstimateSceneScale(scene, st.causticPhotonCount, st.giPhotonCount);
    if (sceneScale == 0.0f) return kBlack;
    const float area = static_cast<float>(length(object.patch.edgeA)) * static_cast<float>(length(object.patch.edgeB));
    return scale(sceneScale / area, evaluateKernel(object.patch.photonTree, u, v, st.interpolationKernel));
}

}  // namespace lumo
