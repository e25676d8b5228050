#include <gtest/gtest.h>

#include <cmath>

#include "core/random.h"
#include "photon/quadtree.h"
#include "photon_test_util.h"
#include "shade/optics.h"
#include "shade/photon_estimate.h"

namespace lumo {
namespace {

using test::PhotonSet;

void expectNear(const Vec3& a, const Vec3& b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(WavelengthToRgb, FollowsTheSpectralWeights) {
    const Vec3 c = wavelengthToRgb(555.0f);  // red ramps in at (555 - 530) / 60
    EXPECT_NEAR(c.x, 0.68292f * 25.0f / 60.0f, 1e-6f);
    EXPECT_FLOAT_EQ(c.y, 1.0f);
    EXPECT_FLOAT_EQ(c.z, 0.0f);
    const Vec3 blue = wavelengthToRgb(440.0f);
    EXPECT_FLOAT_EQ(blue.z, 1.16667f);
    EXPECT_FLOAT_EQ(blue.y, 0.0f);
    const Vec3 outside = wavelengthToRgb(780.0f);
    EXPECT_EQ(outside.x + outside.y + outside.z, 0.0f);
    // Bit for bit the spectral weights of the three one-channel colours, band edges included.
    std::vector<float> lambdas = {380.0f, 410.0f, 470.0f, 500.0f, 530.0f, 530.5f, 590.0f, 660.0f, 780.0f};
    for (float l = 370.0f; l < 790.0f; l += 0.0173f) lambdas.push_back(l);
    for (float edge : {380.0f, 410.0f, 470.0f, 500.0f, 530.5f, 590.0f, 660.0f, 780.0f}) {
        lambdas.push_back(std::nextafter(edge, 0.0f));
        lambdas.push_back(std::nextafter(edge, 1000.0f));
    }
    for (float l : lambdas) {
        const Vec3 c = wavelengthToRgb(l);
        ASSERT_EQ(c.x, spectralWeight(0.68292f, 0.0f, 0.0f, l)) << l;
        ASSERT_EQ(c.y, spectralWeight(0.0f, 1.0f, 0.0f, l)) << l;
        ASSERT_EQ(c.z, spectralWeight(0.0f, 0.0f, 1.16667f, l)) << l;
    }
}

TEST(NodePools, HandOutPoolsInOrderAndReuseThem) {
    NodePools pools;
    resetNodePools(pools);
    PhotonQuadNode* first = allocateNode(pools);
    EXPECT_EQ(pools.poolIndex, 0);
    EXPECT_EQ(first, &pools.pools[0][0]);
    for (int i = 1; i < kNodesPerPool; ++i) allocateNode(pools);
    PhotonQuadNode* next = allocateNode(pools);
    EXPECT_EQ(next, &pools.pools[1][0]);
    resetNodePools(pools);
    EXPECT_EQ(allocateNode(pools), first);
}

TEST(Quadtree, SplitsOnTheOneMorePhotonThanTheSplitCount) {
    constexpr int K = 20;
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    for (int i = 0; i < K; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.1f + 0.02f * i, 0.3f), K);
    EXPECT_EQ(root.count, K);
    EXPECT_EQ(root.children[0], nullptr);
    EXPECT_EQ(test::listLength(root.photons), K);
    EXPECT_NEAR(root.sum.y, K * 1.0f, 1e-4f);

    insertPhoton(pools, &root, 0, 0, 1, set.add(0.9f, 0.9f), K);
    EXPECT_EQ(root.count, K + 1);
    EXPECT_EQ(root.photons, nullptr);
    EXPECT_EQ(root.sum.y, 0.0f);
    ASSERT_NE(root.children[0], nullptr);
    for (PhotonQuadNode* c : root.children) ASSERT_NE(c, nullptr);
    EXPECT_EQ(root.children[0]->count, K);  // the first K all lie in the low-u, low-v quadrant
    int filed = 0;
    for (PhotonQuadNode* c : root.children) filed += test::listLength(c->photons);
    EXPECT_EQ(filed, K + 1);
    EXPECT_EQ(root.children[3]->count, 1);

    // Photons after the split go straight to the quadrants; the root's count stays K + 1.
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.6f, 0.1f), K);
    EXPECT_EQ(root.count, K + 1);
    EXPECT_EQ(root.children[1]->count, 1);
}

TEST(Quadtree, PhotonOnAMidlineGoesHigh) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.2f, 0.2f), 1);
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.5f, 0.2f), 1);  // splits; u = 0.5 is high u
    ASSERT_NE(root.children[1], nullptr);
    EXPECT_EQ(root.children[1]->count, 1);
    EXPECT_EQ(root.children[1]->photons->u, 0.5f);
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.1f, 0.5f), 1);  // v = 0.5 is high v
    EXPECT_EQ(root.children[2]->count, 1);
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.5f, 0.5f), 1);
    EXPECT_EQ(root.children[3]->count, 1);
}

TEST(Quadtree, CellsBelowTheMinimumSizeNeverSplit) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    constexpr int K = 2;
    for (int i = 0; i < 50; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.3f, 0.7f), K);
    const auto cells = test::leaves(&root);
    int deepest = 0;
    int total = 0;
    for (const auto& c : cells) {
        total += test::listLength(c.node->photons);
        if (c.node->count > 0) {
            EXPECT_LT(c.s, kMinSplitCellSize);
            EXPECT_EQ(c.depth, 10);  // 2^-9 >= 0.001 still splits, 2^-10 does not
            EXPECT_EQ(c.node->count, 50);
        }
        deepest = std::max(deepest, c.depth);
    }
    EXPECT_EQ(total, 50);
    EXPECT_EQ(deepest, 10);
    EXPECT_EQ(maxDepth(&root, 0), 10);
}

// Filing a batch gives the tree that inserting the photons one by one gives.
TEST(Quadtree, BatchFilingMatchesPhotonByPhotonInsertion) {
    for (int split : {1, 5, 30}) {
        PhotonSet set;
        Random rng;
        rng.seed(static_cast<uint32_t>(split));
        std::vector<Photon*> photons;
        for (int i = 0; i < 2000; ++i) {
            const float u = i % 7 == 0 ? 0.5f : static_cast<float>(rng.next() * rng.next());  // some on the midline
            const float v = i % 50 == 0 ? 0.3f : static_cast<float>(rng.next());
            photons.push_back(
                set.add(u, v, static_cast<float>(0.2 + rng.next()), static_cast<float>(380 + 400 * rng.next())));
        }
        // Many identical points: a stack of cells down to the minimum size.
        for (int i = 0; i < 3 * split + 3; ++i) photons.push_back(set.add(0.123f, 0.877f, 1.0f, 520.0f));

        NodePools pools;
        PhotonQuadNode incremental = test::freshRoot(pools);
        for (Photon* p : photons) insertPhoton(pools, &incremental, 0, 0, 1, p, split);
        std::vector<test::Cell> a = test::allCells(&incremental);
        std::vector<std::pair<int, int>> lists;
        for (const auto& c : a) lists.emplace_back(c.node->count, test::listLength(c.node->photons));

        PhotonQuadNode batch{};
        resetRoot(batch);
        std::vector<PhotonRef> refs;
        for (Photon* p : photons) refs.push_back({p->u, p->v, p->power, p->wavelength, p});
        NodePools batchPools;
        fileBatch(batchPools, &batch, 0, 0, 1, refs.data(), refs.size(), split);
        const std::vector<test::Cell> b = test::allCells(&batch);

        ASSERT_EQ(a.size(), b.size()) << "split " << split;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].u0, b[i].u0);
            EXPECT_EQ(a[i].v0, b[i].v0);
            EXPECT_EQ(a[i].s, b[i].s);
            EXPECT_EQ(lists[i].first, b[i].node->count);
            EXPECT_EQ(lists[i].second, test::listLength(b[i].node->photons));
            expectNear(a[i].node->sum, b[i].node->sum, 1e-4f * (1.0f + a[i].node->sum.y));
        }
        EXPECT_EQ(maxDepth(&batch, 0), 10) << "the stacked points reach the smallest cells";
    }
}

TEST(Quadtree, ExhaustedPoolsKeepPhotonsInTheNode) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    // Leave exactly one node in the last pool: no split can get four.
    pools.poolIndex = kNodePoolSlots - 1;
    pools.poolUsed = kNodesPerPool - 1;
    pools.pools[kNodePoolSlots - 1] = new PhotonQuadNode[kNodesPerPool];  // released with the pools
    PhotonSet set;
    for (int i = 0; i < 30; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.01f * i, 0.5f), 4);
    EXPECT_EQ(root.children[0], nullptr);
    EXPECT_EQ(test::listLength(root.photons), 30);
    EXPECT_EQ(root.count, 30);
    EXPECT_NEAR(root.sum.y, 30.0f, 1e-4f);
    EXPECT_EQ(allocateNode(pools), nullptr);
}

TEST(Quadtree, SumUpGivesInnerNodesTheSumOfTheirLeaves) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    Random rng;
    rng.seed(99);
    double expectedGreen = 0.0;
    for (int i = 0; i < 300; ++i) {
        const float power = static_cast<float>(0.5 + rng.next());
        expectedGreen += power;
        insertPhoton(pools, &root, 0, 0, 1,
                     set.add(static_cast<float>(rng.next()), static_cast<float>(rng.next()), power), 8);
    }
    Vec3 leafSum{0, 0, 0};
    for (const auto& c : test::leaves(&root)) addInPlace(leafSum, c.node->sum);
    const Vec3 total = sumUp(&root);
    expectNear(total, leafSum, 1e-3f);
    expectNear(root.sum, leafSum, 1e-3f);
    EXPECT_NEAR(root.sum.y, expectedGreen, 1e-2);
    for (const auto& c : test::allCells(&root)) {
        if (!c.node->children[0]) continue;
        Vec3 s{0, 0, 0};
        for (auto* ch : c.node->children) addInPlace(s, ch->sum);
        expectNear(c.node->sum, s, 1e-4f);
    }
    EXPECT_EQ(sumUp(nullptr).x, 0.0f);
}

TEST(Quadtree, DifferenceLevelLeavesLevelsZeroAndOneAlone) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    for (int i = 0; i < 5; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.1f + 0.2f * i, 0.3f), 4);
    sumUp(&root);
    ASSERT_EQ(maxDepth(&root, 0), 1);
    const Vec3 before = root.children[1]->sum;
    for (int level = 2; level <= maxDepth(&root, 0); ++level) differenceLevel(&root, &root, 0, 0, 1, 0, level);
    expectNear(root.children[1]->sum, before, 0.0f);
}

TEST(Quadtree, CornerDensityFollowsTheQuadrantDown) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    // Two levels in quadrant 0: its finest corner cell is (0, 0, 0.25).
    for (int i = 0; i < 3; ++i) insertPhoton(pools, &root, 0, 0, 1, set.add(0.05f, 0.05f), 2);
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.9f, 0.9f), 2);
    sumUp(&root);
    const Vec3 c0 = cornerDensity(&root, 0);
    const Vec3 c3 = cornerDensity(&root, 3);
    PhotonQuadNode* finest = &root;
    int levels = 0;
    while (finest->children[0]) {
        finest = finest->children[0];
        ++levels;
    }
    EXPECT_NEAR(c0.y, finest->sum.y * std::pow(4.0f, levels), 1e-3f);
    EXPECT_NEAR(c3.y, root.children[3]->sum.y * 4.0f, 1e-5f);
    EXPECT_NEAR(cornerDensity(root.children[3], 1).y, root.children[3]->sum.y, 1e-6f);
}

TEST(Patches, ARootAloneTakesItsOwnDensityAtEveryCorner) {
    NodePools pools;
    PhotonQuadNode root = test::freshRoot(pools);
    PhotonSet set;
    insertPhoton(pools, &root, 0, 0, 1, set.add(0.3f, 0.3f, 3.0f), 10);
    PhotonQuadNode* const none[8] = {};
    buildPatches(&root, none, 1.0f, 0);
    for (const Vec3* c : {&root.corner00, &root.corner10, &root.corner01, &root.corner11})
        expectNear(*c, root.sum, 0.0f);
}

// Builds a tree with cells of very different sizes side by side.
PhotonQuadNode unevenTree(NodePools& pools, PhotonSet& set, int seed) {
    PhotonQuadNode root = test::freshRoot(pools);
    Random rng;
    rng.seed(seed);
    for (int i = 0; i < 3000; ++i) {
        // Dense near (0.3, 0.6), sparse elsewhere.
        float u, v;
        if (i % 3 == 0) {
            u = static_cast<float>(rng.next());
            v = static_cast<float>(rng.next());
        } else {
            u = 0.3f + static_cast<float>((rng.next() - 0.5) * (rng.next() * 0.4));
            v = 0.6f + static_cast<float>((rng.next() - 0.5) * (rng.next() * 0.4));
        }
        insertPhoton(pools, &root, 0, 0, 1,
                     set.add(u, v, static_cast<float>(0.5 + rng.next()), static_cast<float>(400 + 300 * rng.next())),
                     6);
    }
    return root;
}

TEST(Patches, AdjacentCellsAgreeAlongEveryEdge) {
    for (int seed : {3, 11, 27}) {
        PhotonSet set;
        NodePools pools;
        PhotonQuadNode root = unevenTree(pools, set, seed);
        sumUp(&root);
        PhotonQuadNode* const none[8] = {};
        buildPatches(&root, none, 1.0f, 0);
        const auto cells = test::leaves(&root);
        ASSERT_GT(cells.size(), 40u);
        ASSERT_GE(maxDepth(&root, 0), 5);
        int compared = 0;
        for (const auto& c : cells) {
            for (int i = 0; i <= 4; ++i) {
                const float t = c.v0 + c.s * (0.25f * i);
                const float w = c.u0 + c.s * (0.25f * i);
                const float right = c.u0 + c.s;
                const float top = c.v0 + c.s;
                if (right < 1.0f && t < 1.0f) {
                    // This leaf's patch at its right edge, against the leaf on the other side.
                    const float b = (t - c.v0) / c.s;
                    const Vec3 mine = add(scale(1.0f - b, c.node->corner10), scale(b, c.node->corner11));
                    const Vec3 theirs = evaluateKernel(&root, right, t, 6);
                    const float tol = 2e-4f * (1.0f + std::fabs(mine.y) + std::fabs(mine.x) + std::fabs(mine.z));
                    expectNear(mine, theirs, tol);
                    ++compared;
                }
                if (top < 1.0f && w < 1.0f) {
                    const float a = (w - c.u0) / c.s;
                    const Vec3 mine = add(scale(1.0f - a, c.node->corner01), scale(a, c.node->corner11));
                    const Vec3 theirs = evaluateKernel(&root, w, top, 6);
                    const float tol = 2e-4f * (1.0f + std::fabs(mine.y) + std::fabs(mine.x) + std::fabs(mine.z));
                    expectNear(mine, theirs, tol);
                    ++compared;
                }
            }
        }
        EXPECT_GT(compared, 200);
    }
}

TEST(Patches, SameLevelNeighboursShareCornerValuesExactly) {
    PhotonSet set;
    NodePools pools;
    PhotonQuadNode root = unevenTree(pools, set, 5);
    sumUp(&root);
    PhotonQuadNode* const none[8] = {};
    buildPatches(&root, none, 1.0f, 0);
    const auto cells = test::leaves(&root);
    int shared = 0;
    for (const auto& a : cells)
        for (const auto& b : cells) {
            if (a.s != b.s) continue;
            if (b.u0 == a.u0 + a.s && b.v0 == a.v0) {  // b is a's right neighbour
                EXPECT_EQ(a.node->corner10.y, b.node->corner00.y);
                EXPECT_EQ(a.node->corner11.y, b.node->corner01.y);
                ++shared;
            }
            if (b.v0 == a.v0 + a.s && b.u0 == a.u0) {  // b lies above a
                EXPECT_EQ(a.node->corner01.x, b.node->corner00.x);
                EXPECT_EQ(a.node->corner11.z, b.node->corner10.z);
                ++shared;
            }
        }
    EXPECT_GT(shared, 50);
}

}  // namespace
}  // namespace lumo
