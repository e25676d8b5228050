#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/settings.h"
#include "core/random.h"
#include "image/frame.h"
#include "photon/photon_pass.h"
#include "photon/photon_store.h"
#include "intersect/hit_record.h"
#include "photon/quadtree.h"
#include "photon_test_util.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"

namespace lumo {
namespace {

class PhotonPass : public testing::Test {
protected:
    void SetUp() override { saved_ = settings(); }
    void TearDown() override { settings() = saved_; }

    void load(int sceneId, int threads, int kernel) {
        loadScene(sceneId);
        RenderSettings& s = settings();
        s.sceneId = static_cast<int16_t>(sceneId);
        s.threadCount = static_cast<int16_t>(threads);
        s.interpolationKernel = static_cast<int16_t>(kernel);
        s.causticPhotonCount = 10000;
        s.causticSplitCount = 30;
        s.giPhotonCount = 125000;
        s.giSplitCount = 1000;
        s.giOnlyIndirect = 1;
        seedRandom(12345);
    }

    // Photons the pass stored: full blocks, and each worker's last block up to its count.
    static int storedPhotons(int threads) {
        int total = 0;
        for (int m = 0; m < usedPhotonBlocks(); ++m) {
            int n = kPhotonsPerBlock;
            for (int k = 0; k < threads; ++k)
                if (workerSlot(k).photons.block == photonBlockTable().blocks[m]) n = static_cast<int>(workerSlot(k).photons.count);
            total += n;
        }
        return total;
    }

    // Photons filed in the quadtrees of the current scene, and the parallelograms holding any.
    static int filedPhotons(std::vector<SceneObject*>* receivers = nullptr) {
        int total = 0;
        std::vector<const PhotonQuadNode*> seen;
        forEachParallelogram(currentScene().root, [&](SceneObject& o) {
            PhotonQuadNode* root = o.patch.photonTree;
            for (const PhotonQuadNode* r : seen)
                if (r == root) return;
            seen.push_back(root);
            int here = 0;
            for (const auto& c : test::leaves(root)) here += test::listLength(c.node->photons);
            if (here > 0 && receivers) receivers->push_back(&o);
            total += here;
        });
        return total;
    }

private:
    RenderSettings saved_;
};

TEST_F(PhotonPass, CausticPassFilesEveryStoredPhotonOnTheGround) {
    for (int threads : {1, 2, 4}) {
        load(8, threads, 1);
        runCausticPass();
        const int stored = storedPhotons(threads);
        std::vector<SceneObject*> receivers;
        EXPECT_EQ(filedPhotons(&receivers), stored) << threads << " threads";
        // The grid's cone is wider than the egg: photons that miss it reach the ground unstored.
        EXPECT_GT(stored, 2000) << threads << " threads";
        EXPECT_LT(stored, 14 * 10404) << threads << " threads";
        ASSERT_EQ(receivers.size(), 1u);
        EXPECT_TRUE(receivers[0]->flags & kCheckered);
        EXPECT_GT(maxDepth(receivers[0]->patch.photonTree, 0), 3);
    }
}

// A worker that stored nothing this pass may still point at a block of an earlier pass, which this
// pass handed to another worker: that block is filed in full, never past its end.
TEST_F(PhotonPass, StaleBufferOfAnIdleWorkerDoesNotCutOrOverrunABlock) {
    load(8, 2, 1);
    SceneObject* ground = nullptr;
    forEachParallelogram(currentScene().root, [&](SceneObject& o) { ground = &o; });
    ASSERT_NE(ground, nullptr);
    PhotonBuffer* buffers[] = {&workerSlot(0).photons, &workerSlot(1).photons};
    resetPhotonStore(buffers, 2);
    HitRecord hit{};
    hit.object = ground;
    for (int i = 0; i < kPhotonsPerBlock + 10; ++i) {
        hit.u = static_cast<float>(i % 97) / 97.0f;
        hit.v = static_cast<float>(i % 89) / 89.0f;
        storePhoton(workerSlot(0).photons, hit, 1.0f, 555.0f);
    }
    workerSlot(1).photons.block = photonBlockTable().blocks[0];  // left over from an earlier pass
    EXPECT_EQ(workerSlot(1).photons.count, static_cast<uint32_t>(kPhotonsPerBlock + 1));
    buildQuadtrees(30, 2);
    EXPECT_EQ(filedPhotons(), kPhotonsPerBlock + 10);
}

TEST_F(PhotonPass, GiPassStopsWhenTheBlocksHoldTheRequestedCount) {
    load(9, 1, 1);
    runGlobalIlluminationPass();
    EXPECT_EQ(usedPhotonBlocks(), (125000 + kPhotonsPerBlock - 1) / kPhotonsPerBlock);
    const int stored = storedPhotons(1);
    EXPECT_GT(stored, 125000 - kPhotonsPerBlock);
    // Photons that land on the light panel (the free object, no tree) are stored but not filed.
    const int filed = filedPhotons();
    EXPECT_LE(filed, stored);
    EXPECT_GT(filed, stored * 0.97);

    // Each worker tests the shared count before every photon: at most one block more per extra worker.
    for (int threads : {2, 4}) {
        load(9, threads, 1);
        runGlobalIlluminationPass();
        EXPECT_GE(usedPhotonBlocks(), 31) << threads;
        EXPECT_LE(usedPhotonBlocks(), 30 + threads) << threads;
        const int storedHere = storedPhotons(threads);
        const int filedHere = filedPhotons();
        EXPECT_LE(filedHere, storedHere) << threads;
        EXPECT_GT(filedHere, storedHere * 0.97) << threads;
    }
}

TEST_F(PhotonPass, OneThreadRepeatsItsPhotonsEveryFrame) {
    load(9, 1, 0);
    runGlobalIlluminationPass();
    std::vector<float> first;
    for (int i = 0; i < 2000; ++i) first.push_back(photonBlockTable().blocks[i / kPhotonsPerBlock][i % kPhotonsPerBlock].u);
    seedRandom(12345);
    runGlobalIlluminationPass();
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(photonBlockTable().blocks[i / kPhotonsPerBlock][i % kPhotonsPerBlock].u, first[i]) << i;
}

TEST_F(PhotonPass, PrecomputationFollowsTheKernel) {
    // Kernel 3 reads only leaves: inner sums stay cleared. Kernel 5 needs them summed up.
    load(8, 1, 3);
    runCausticPass();
    std::vector<SceneObject*> receivers;
    const int filed = filedPhotons(&receivers);
    ASSERT_EQ(receivers.size(), 1u);
    PhotonQuadNode* root = receivers[0]->patch.photonTree;
    ASSERT_NE(root->children[0], nullptr);
    EXPECT_EQ(root->sum.y, 0.0f);

    settings().interpolationKernel = 5;
    seedRandom(12345);
    runCausticPass();
    // Caustic photons carry 555 nm: green weight 1, so the root's green is the total power.
    double power = 0.0;
    for (const auto& c : test::leaves(root))
        for (const Photon* p = c.node->photons; p; p = p->next) power += p->power;
    EXPECT_EQ(filedPhotons(), filed);
    EXPECT_NEAR(root->sum.y, power, power * 1e-4);
}

TEST_F(PhotonPass, LaterPassesReuseTheirPoolsAndBlocks) {
    load(9, 1, 6);
    runGlobalIlluminationPass();
    const NodePools before = nodePools();
    Photon* firstBlock = photonBlockTable().blocks[0];
    seedRandom(12345);
    runGlobalIlluminationPass();
    EXPECT_EQ(nodePools().poolIndex, before.poolIndex);
    EXPECT_EQ(nodePools().poolUsed, before.poolUsed);
    EXPECT_EQ(nodePools().pools[0], before.pools[0]);
    EXPECT_EQ(photonBlockTable().blocks[0], firstBlock);
}

TEST_F(PhotonPass, PhotonTreeRootsAreReleasedWithTheirScene) {
    load(8, 1, 1);
    runCausticPass();
    std::weak_ptr<void> roots = currentScene().photonRoots;
    ASSERT_FALSE(roots.expired());
    load(8, 1, 1);  // the same scene built anew: the old scene's roots go with it
    EXPECT_TRUE(roots.expired());
    runCausticPass();
    EXPECT_NE(currentScene().photonRoots, nullptr);
}

}  // namespace
}  // namespace lumo
