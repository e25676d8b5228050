#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/random.h"
#include "photon/quadtree.h"
#include "photon_test_util.h"
#include "scene/demo_scenes.h"
#include "shade/photon_estimate.h"

namespace lumo {
namespace {

using test::PhotonSet;

TEST(TentWeight, IsASeparableTentThatVanishesAtItsRadius) {
    EXPECT_FLOAT_EQ(tentWeight(0.0f, 0.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(tentWeight(0.5f, -0.5f, 1.0f), 0.25f);
    EXPECT_FLOAT_EQ(tentWeight(0.25f, 0.0f, 0.5f), 0.5f);
    EXPECT_EQ(tentWeight(1.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(tentWeight(0.0f, -1.5f, 1.0f), 0.0f);
    EXPECT_EQ(tentWeight(1.2f, 1.2f, 1.0f), 0.0f);  // both factors negative: still 0
}

// A root holding photons of total green power 6 (fewer than the split count).
struct RootOnly {
    NodePools pools;
    PhotonSet set;
    PhotonQuadNode root = test::freshRoot(pools);
    RootOnly() {
        for (int i = 0; i < 3; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.2f + 0.3f * i, 0.4f, 2.0f), 10);
    }
};

TEST(Kernels, RootOnlyTree) {
    RootOnly t;
    const float green = t.root.sum.y;
    ASSERT_NEAR(green, 6.0f, 1e-5f);
    EXPECT_FLOAT_EQ(evaluateKernel(&t.root, 0.3f, 0.8f, 0).y, green);
    // Mode 1: the root's tent around (0.5, 0.5) with radius 1, normalised away.
    EXPECT_NEAR(evaluateKernel(&t.root, 0.3f, 0.8f, 1).y, green, 1e-5f);
    EXPECT_NEAR(evaluateKernel(&t.root, 0.0f, 0.0f, 2).y, green, 1e-5f);
    // Modes 3 to 5: the root has no stretched sample point.
    for (int mode : {3, 4, 5}) EXPECT_EQ(evaluateKernel(&t.root, 0.3f, 0.8f, mode).y, 0.0f) << "mode " << mode;
    sumUp(&t.root);
    PhotonQuadNode* const none[8] = {};
    buildPatches(&t.root, none, 1.0f, 0);
    EXPECT_NEAR(evaluateKernel(&t.root, 0.3f, 0.8f, 6).y, green, 1e-5f);
    EXPECT_EQ(evaluateKernel(nullptr, 0.5f, 0.5f, 1).y, 0.0f);
}

TEST(Kernels, CentreKernelLeavesTheSumUnnormalisedWhereNoTentReaches) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    // Split once; the quadrant tents (radius 0.5 around the quadrant centres) cover the square, but at
    // the corner (0, 0) only quadrant 0 reaches, with weight 0.25.
    for (int i = 0; i < 4; ++i)
        insertPhoton(pools, &root, 0, 0, 1, set.add(0.1f + 0.25f * i, 0.1f + 0.25f * i, 1.0f), 3);
    const Vec3 corner = evaluateKernel(&root, 0.0f, 0.0f, 1);
    EXPECT_NEAR(corner.y, root.children[0]->sum.y / 0.25f, 1e-4f);  // 0.25 > 0.001: normalised
    // Inside the square the leaf holding the point always weighs at least 0.25; just outside it (hits
    // on the rim) the weight can drop to 0.001 or less, and the sum then stays unnormalised.
    RootOnly t;
    EXPECT_NEAR(evaluateKernel(&t.root, 1.4995f, 0.5f, 1).y, t.root.sum.y * 0.0005f, 1e-5f);
    EXPECT_NEAR(evaluateKernel(&t.root, 1.45f, 0.5f, 1).y, t.root.sum.y, 1e-4f);  // weight 0.05: normalised
}

TEST(Kernels, QueryOnAMiddleLineBelongsToTheHighChild) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.1f, 0.1f, 1.0f), 1);
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.7f, 0.1f, 5.0f), 1);
    sumUp(&root);
    PhotonQuadNode* const none[8] = {};
    buildPatches(&root, none, 1.0f, 0);
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 0.5f, 0.2f, 0).y, root.children[1]->sum.y / 0.25f);
    // Mode 6 at the high child's a = 0 edge: its own corner values, not the low child's.
    const Vec3 v = evaluateKernel(&root, 0.5f, 0.0f, 6);
    EXPECT_FLOAT_EQ(v.y, root.children[1]->corner00.y);
}

TEST(Kernels, BilinearPatchReturnsItsCornersAtTheCorners) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    root.corner00 = {1, 2, 3};
    root.corner10 = {4, 5, 6};
    root.corner01 = {7, 8, 9};
    root.corner11 = {10, 11, 12};
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 0.0f, 0.0f, 6).y, 2.0f);
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 1.0f, 1.0f, 6).z, 12.0f);
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 1.0f, 0.0f, 6).x, 4.0f);
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 0.0f, 1.0f, 6).x, 7.0f);
    EXPECT_FLOAT_EQ(evaluateKernel(&root, 0.5f, 0.5f, 6).x, 5.5f);
}

// A complete tree of depth `levels` with the same photons in every leaf: every kernel gives the
// uniform density wherever its tents cover the point.
PhotonQuadNode uniformTree(NodePools& pools, PhotonSet& set, int levels, float power) {
    PhotonQuadNode root = test::freshRoot(pools);
    const int n = 1 << levels;
    const float cell = 1.0f / static_cast<float>(n);
    for (int rep = 0; rep < 2; ++rep)
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                insertPhoton(pools, &root, 0, 0, 1,
                             set.add((i + 0.3f + 0.4f * rep) * cell, (j + 0.5f) * cell, power), 2);
    return root;
}

TEST(Kernels, UniformTreeGivesTheUniformDensityInEveryMode) {
    PhotonSet set;
    NodePools pools;
    PhotonQuadNode root = uniformTree(pools, set, 3, 1.0f);
    ASSERT_EQ(maxDepth(&root, 0), 3);
    const float density = 2.0f * 64.0f;  // two photons of green 1 per cell of area 1/64
    const float queries[][2] = {{0.5f, 0.5f}, {0.13f, 0.77f}, {0.02f, 0.98f}, {0.6f, 0.31f}};
    for (auto q : queries) {
        EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 0).y, density, 1e-3f);
        EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 1).y, density, 1e-3f);
        EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 2).y, density, 1e-3f);
        EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 3).y, density, 1e-2f);
    }
    sumUp(&root);
    for (auto q : queries) EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 5).y, density, 1e-2f);
    for (int level = 2; level <= 3; ++level) differenceLevel(&root, &root, 0, 0, 1, 0, level);
    for (auto q : queries) EXPECT_NEAR(evaluateKernel(&root, q[0], q[1], 4).y, density, 1e-2f);
}

TEST(Kernels, DifferentialLevelsRebuildEachCellAtItsSamplePoint) {
    PhotonSet set;
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    Random rng;
    rng.seed(5);
    // Complete to depth 2 with uneven counts: K = 1 and at least two photons per depth-2 cell.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int r = 0; r < 2; ++r)
                insertPhoton(pools, &root, 0, 0, 1,
                             set.add((i + 0.2f + 0.6f * r) * 0.25f, (j + 0.5f) * 0.25f,
                                     static_cast<float>(0.5 + rng.next())),
                             2);
    ASSERT_EQ(maxDepth(&root, 0), 2);
    sumUp(&root);
    std::vector<std::pair<Vec3, test::Cell>> plain;
    for (const auto& c : test::allCells(&root))
        if (c.depth == 2) plain.push_back({c.node->sum, c});
    differenceLevel(&root, &root, 0, 0, 1, 0, 2);
    for (const auto& [sum, c] : plain) {
        const float x = c.u0 / (1.0f - c.s);
        const float y = c.v0 / (1.0f - c.s);
        EXPECT_NEAR(evaluateKernel(&root, x, y, 4).y, sum.y / (c.s * c.s), 1e-3f);
    }
}

// The stretched kernels skip subtrees whose tents cannot reach the query; a full walk of every node
// must give the very same bits.
struct FullWalk {
    static float tent(float u, float v, const test::Cell& c) {
        if (c.s >= 1.0f) return 0.0f;
        return tentWeight(u - c.u0 / (1.0f - c.s), v - c.v0 / (1.0f - c.s), c.s / (1.0f - c.s));
    }
    static Vec3 mode3(PhotonQuadNode* root, float u, float v) {
        Vec3 sum{0, 0, 0};
        float w = 0.0f;
        for (const auto& c : test::leaves(root)) {
            const float t = tent(u, v, c);
            addInPlace(sum, scale(t / (c.s * c.s), c.node->sum));
            w += t;
        }
        return w > 0.001f ? divScalar(sum, w) : sum;
    }
    static Vec3 mode4(PhotonQuadNode* root, float u, float v) {
        Vec3 sum{0, 0, 0};
        for (const auto& c : test::allCells(root))
            if (c.s < 0.75f) addInPlace(sum, scale(tent(u, v, c) / (c.s * c.s), c.node->sum));
        return sum;
    }
    static Vec3 mode5(PhotonQuadNode* root, float u, float v) {
        Vec3 level[32] = {};
        float weight[32] = {};
        int deepest = 0;
        for (const auto& c : test::allCells(root)) {
            const float t = tent(u, v, c);
            addInPlace(level[c.depth], scale(t / (c.s * c.s), c.node->sum));
            weight[c.depth] += t;
            deepest = std::max(deepest, c.depth);
        }
        Vec3 h = level[1];
        for (int i = 2; i <= deepest; ++i) h = add(level[i], scale(1.0f - weight[i], h));
        return h;
    }
    static Vec3 levels(PhotonQuadNode* root, float u, float v, int last) {
        Vec3 sum{0, 0, 0};
        for (const auto& c : test::allCells(root))
            if (c.depth >= 1 && c.depth <= last) addInPlace(sum, scale(tent(u, v, c) / (c.s * c.s), c.node->sum));
        return sum;
    }
};

TEST(Kernels, PrunedWalksMatchFullWalksExactly) {
    PhotonSet set;
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    Random rng;
    rng.seed(77);
    for (int i = 0; i < 4000; ++i) {
        const bool cluster = i % 4 != 0;
        const float u = cluster ? 0.7f + static_cast<float>((rng.next() - 0.5) * 0.1) : static_cast<float>(rng.next());
        const float v = cluster ? 0.2f + static_cast<float>((rng.next() - 0.5) * 0.1) : static_cast<float>(rng.next());
        insertPhoton(pools, &root, 0, 0, 1, set.add(u, v, static_cast<float>(0.5 + rng.next())), 4);
    }
    sumUp(&root);
    ASSERT_GE(maxDepth(&root, 0), 6);
    int nonZero = 0;
    for (int i = 0; i <= 40; ++i)
        for (int j = 0; j <= 40; ++j) {
            const float u = i / 40.0f;
            const float v = j / 40.0f * 0.999f + 0.0005f;
            const Vec3 m3 = evaluateKernel(&root, u, v, 3);
            ASSERT_EQ(m3.y, FullWalk::mode3(&root, u, v).y) << u << ", " << v;
            ASSERT_EQ(evaluateKernel(&root, u, v, 4).y, FullWalk::mode4(&root, u, v).y) << u << ", " << v;
            ASSERT_EQ(evaluateKernel(&root, u, v, 5).y, FullWalk::mode5(&root, u, v).y) << u << ", " << v;
            ASSERT_EQ(evaluateLevels(&root, u, v, 3).x, FullWalk::levels(&root, u, v, 3).x) << u << ", " << v;
            if (m3.y > 0.0f) ++nonZero;
        }
    EXPECT_GT(nonZero, 1000);
}

TEST(PhotonEstimate, ScalesByScenePhotonCountAndArea) {
    SceneObject floor;
    initPlanarPatch(floor);
    floor.type = kParallelogram;
    floor.patch.origin = {-2, -2, 0};
    floor.patch.edgeA = {4, 0, 0};
    floor.patch.edgeB = {0, 4, 0};
    RootOnly t;
    floor.patch.photonTree = &t.root;
    const auto scene = [](int id) { return *findDemoScene(id); };
    PhotonParams params;
    params.causticPhotonCount = 10000;
    params.interpolationKernel = 0;
    EXPECT_EQ(photonEstimate(scene(8), params, &floor, 0.5f, 0.5f).y, 0.0f);  // no display on
    params.causticsDisplay = true;
    EXPECT_NEAR(photonEstimate(scene(8), params, &floor, 0.5f, 0.5f).y, 6.0f * (2.0f / 10000.0f) / 16.0f, 1e-9f);
    EXPECT_NEAR(photonEstimate(scene(3), params, &floor, 0.5f, 0.5f).y, 6.0f * (8.0f / 10000.0f) / 16.0f, 1e-9f);
    params.causticsDisplay = false;
    params.giDisplay = true;
    params.giPhotonCount = 500000;
    EXPECT_NEAR(photonEstimate(scene(9), params, &floor, 0.5f, 0.5f).y, 6.0f * (135.0f / 500000.0f) / 16.0f, 1e-10f);
    EXPECT_EQ(photonEstimate(scene(1), params, &floor, 0.5f, 0.5f).y, 0.0f);  // no scene scale: black

    SceneObject ball;
    initSphere(ball);
    EXPECT_EQ(photonEstimate(scene(9), params, &ball, 0.5f, 0.5f).y, 0.0f);
    floor.patch.photonTree = nullptr;
    EXPECT_EQ(photonEstimate(scene(9), params, &floor, 0.5f, 0.5f).y, 0.0f);
}

// Render threads evaluate the stacked kernel at once; each call keeps its own level arrays.
TEST(PhotonEstimate, StackedKernelIsSafeAcrossThreads) {
    PhotonSet set;
    NodePools pools;
    PhotonQuadNode root = uniformTree(pools, set, 4, 1.0f);
    sumUp(&root);
    std::vector<float> expected(64);
    for (int i = 0; i < 64; ++i)
        expected[i] = evaluateKernel(&root, (i % 8) / 8.0f + 0.01f, (i / 8) / 8.0f + 0.03f, 5).y;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&, k] {
            for (int rep = 0; rep < 50; ++rep)
                for (int i = 0; i < 64; ++i)
                    if (evaluateKernel(&root, (i % 8) / 8.0f + 0.01f, (i / 8) / 8.0f + 0.03f, 5).y != expected[i])
                        ++mismatches[k];
        });
    for (auto& t : threads) t.join();
    for (int k = 0; k < 4; ++k) EXPECT_EQ(mismatches[k], 0);
}

}  // namespace
}  // namespace lumo
