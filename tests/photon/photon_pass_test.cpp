#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/random.h"
#include "core/render_params.h"
#include "intersect/hit_record.h"
#include "photon/photon_pass.h"
#include "photon/photon_store.h"
#include "photon/quadtree.h"
#include "photon_test_util.h"
#include "scene/demo_scenes.h"

namespace lumo {
namespace {

class PhotonPass : public testing::Test {
protected:
    // Builds the demo scene anew with the pass parameters and the frame's generator seeded as every
    // frame seeds it.
    void load(int sceneId, int threads, int kernel) {
        scene_ = buildScene(sceneId);
        params_.threadCount = threads;
        PhotonParams& p = params_.photons;
        p.interpolationKernel = kernel;
        p.causticPhotonCount = 10000;
        p.causticSplitCount = 30;
        p.giPhotonCount = 125000;
        p.giSplitCount = 1000;
        p.giOnlyIndirect = true;
        workers_ = std::vector<PhotonWorker>(static_cast<size_t>(threads));
        reseed();
    }
    void reseed() { frameRandom_.seed(12345); }
    PhotonPassSetup setup() { return {params_, frameRandom_, workers_, wait_}; }
    void caustics() { runCausticPass(*scene_, setup()); }
    void gi() { runGlobalIlluminationPass(*scene_, setup()); }
    PhotonBlockTable& table() { return photonMapsOf(*scene_).blocks; }

    // Photons the pass stored: full blocks, and each worker's last block up to its count.
    int storedPhotons() {
        int total = 0;
        for (int m = 0; m < usedPhotonBlocks(table()); ++m) {
            int n = kPhotonsPerBlock;
            for (const PhotonWorker& w : workers_)
                if (w.buffer.block == table().blocks[m]) n = static_cast<int>(w.buffer.count);
            total += n;
        }
        return total;
    }

    // Photons filed in the quadtrees of the scene, and the parallelograms holding any.
    int filedPhotons(std::vector<SceneObject*>* receivers = nullptr) {
        int total = 0;
        std::vector<const PhotonQuadNode*> seen;
        forEachParallelogram(scene_->root, [&](SceneObject& o) {
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

    std::unique_ptr<Scene> scene_;
    RenderParams params_;
    Random frameRandom_;
    std::vector<PhotonWorker> workers_;
    WorkerWait wait_;
};

TEST_F(PhotonPass, CausticPassFilesEveryStoredPhotonOnTheGround) {
    for (int threads : {1, 2, 4}) {
        load(8, threads, 1);
        caustics();
        const int stored = storedPhotons();
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

// Filing cuts a block short only for the worker whose last block it is: a buffer that points at a
// block another worker filled, with the count a fresh pass leaves (past the block's end), neither
// cuts that block nor makes it read past its end.
TEST_F(PhotonPass, StaleBufferOfAnIdleWorkerDoesNotCutOrOverrunABlock) {
    load(8, 2, 1);
    SceneObject* ground = nullptr;
    forEachParallelogram(scene_->root, [&](SceneObject& o) { ground = &o; });
    ASSERT_NE(ground, nullptr);
    PhotonBuffer* buffers[] = {&workers_[0].buffer, &workers_[1].buffer};
    resetPhotonStore(table(), buffers, 2);
    HitRecord hit{};
    hit.object = ground;
    for (int i = 0; i < kPhotonsPerBlock + 10; ++i) {
        hit.u = static_cast<float>(i % 97) / 97.0f;
        hit.v = static_cast<float>(i % 89) / 89.0f;
        storePhoton(workers_[0].buffer, hit, 1.0f, 555.0f);
    }
    workers_[1].buffer.block = table().blocks[0];  // left over from an earlier pass
    EXPECT_EQ(workers_[1].buffer.count, static_cast<uint32_t>(kPhotonsPerBlock + 1));
    buildQuadtrees(*scene_, 30, 2, workers_);
    EXPECT_EQ(filedPhotons(), kPhotonsPerBlock + 10);
}

TEST_F(PhotonPass, GiPassStopsWhenTheBlocksHoldTheRequestedCount) {
    load(9, 1, 1);
    gi();
    EXPECT_EQ(usedPhotonBlocks(table()), (125000 + kPhotonsPerBlock - 1) / kPhotonsPerBlock);
    const int stored = storedPhotons();
    EXPECT_GT(stored, 125000 - kPhotonsPerBlock);
    // Photons that land on the light panel (the free object, no tree) are stored but not filed.
    const int filed = filedPhotons();
    EXPECT_LE(filed, stored);
    EXPECT_GT(filed, stored * 0.97);

    // Each worker tests the shared count before every photon: at most one block more per extra worker.
    for (int threads : {2, 4}) {
        load(9, threads, 1);
        gi();
        EXPECT_GE(usedPhotonBlocks(table()), 31) << threads;
        EXPECT_LE(usedPhotonBlocks(table()), 30 + threads) << threads;
        const int storedHere = storedPhotons();
        const int filedHere = filedPhotons();
        EXPECT_LE(filedHere, storedHere) << threads;
        EXPECT_GT(filedHere, storedHere * 0.97) << threads;
    }
}

TEST_F(PhotonPass, OneThreadRepeatsItsPhotonsEveryFrame) {
    load(9, 1, 0);
    gi();
    std::vector<float> first;
    for (int i = 0; i < 2000; ++i) first.push_back(table().blocks[i / kPhotonsPerBlock][i % kPhotonsPerBlock].u);
    reseed();
    gi();
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(table().blocks[i / kPhotonsPerBlock][i % kPhotonsPerBlock].u, first[i]) << i;
}

TEST_F(PhotonPass, PrecomputationFollowsTheKernel) {
    // Kernel 3 reads only leaves: inner sums stay cleared. Kernel 5 needs them summed up.
    load(8, 1, 3);
    caustics();
    std::vector<SceneObject*> receivers;
    const int filed = filedPhotons(&receivers);
    ASSERT_EQ(receivers.size(), 1u);
    PhotonQuadNode* root = receivers[0]->patch.photonTree;
    ASSERT_NE(root->children[0], nullptr);
    EXPECT_EQ(root->sum.y, 0.0f);

    params_.photons.interpolationKernel = 5;
    reseed();
    caustics();
    // Caustic photons carry 555 nm: green weight 1, so the root's green is the total power.
    double power = 0.0;
    for (const auto& c : test::leaves(root))
        for (const Photon* p = c.node->photons; p; p = p->next) power += p->power;
    EXPECT_EQ(filedPhotons(), filed);
    EXPECT_NEAR(root->sum.y, power, power * 1e-4);
}

TEST_F(PhotonPass, LaterPassesReuseTheirPoolsAndBlocks) {
    load(9, 1, 6);
    gi();
    const NodePools& pools = photonMapsOf(*scene_).nodes;
    const int32_t poolIndex = pools.poolIndex;
    const int32_t poolUsed = pools.poolUsed;
    PhotonQuadNode* firstPool = pools.pools[0];
    Photon* firstBlock = table().blocks[0];
    reseed();
    gi();
    EXPECT_EQ(pools.poolIndex, poolIndex);
    EXPECT_EQ(pools.poolUsed, poolUsed);
    EXPECT_EQ(pools.pools[0], firstPool);
    EXPECT_EQ(table().blocks[0], firstBlock);
}

}  // namespace
}  // namespace lumo
