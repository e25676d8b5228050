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
    PhotonStore& store() { return photonMapsOf(*scene_).store; }
    int storedPhotons() { return static_cast<int>(keptPhotons(store())); }

    // The photons the pass kept, in storage order.
    struct Kept {
        float u, v, power, wavelength;
        int object;  // index: scenes built anew have objects at new addresses
        bool operator==(const Kept&) const = default;
    };
    std::vector<Kept> keptList() {
        std::vector<Kept> out;
        for (int m = 0; m < store().keptBlocks; ++m) {
            const PhotonBlock& b = store().blocks[static_cast<size_t>(m)];
            for (uint32_t i = 0; i < b.kept; ++i)
                out.push_back({b[i].u, b[i].v, b[i].power, b[i].wavelength, static_cast<int>(b[i].object->index)});
        }
        return out;
    }

    // Photons filed in the quadtrees of the scene, and the parallelograms holding any.
    int filedPhotons(std::vector<SceneObject*>* receivers = nullptr) {
        int total = 0;
        std::vector<const PhotonQuadNode*> seen;
        forEachParallelogram(*scene_, [&](SceneObject& o) {
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
    load(8, 1, 1);
    caustics();
    const int stored = storedPhotons();
    std::vector<SceneObject*> receivers;
    EXPECT_EQ(filedPhotons(&receivers), stored);
    // The grid's cone is wider than the egg: photons that miss it reach the ground unstored.
    EXPECT_GT(stored, 2000);
    EXPECT_LT(stored, 14 * 10404);
    ASSERT_EQ(receivers.size(), 1u);
    EXPECT_TRUE(receivers[0]->flags & kCheckered);
    EXPECT_GT(maxDepth(receivers[0]->patch.photonTree, 0), 3);
}

TEST_F(PhotonPass, GiPassKeepsTheShortestBlockPrefixReachingTheRequestedCount) {
    load(9, 1, 1);
    gi();
    const int stored = storedPhotons();
    const PhotonBlock& last = store().blocks[static_cast<size_t>(store().keptBlocks - 1)];
    EXPECT_GE(stored, 125000);
    EXPECT_LT(stored - static_cast<int>(last.kept), 125000);
    // Photons that land on the light panel (the free object, no tree) are stored but not filed.
    const int filed = filedPhotons();
    EXPECT_LE(filed, stored);
    EXPECT_GT(filed, stored * 0.97);
}

// Both passes store the photons one thread stores, in the same order, on any number of workers.
TEST_F(PhotonPass, StoredPhotonsDoNotDependOnTheThreadCount) {
    for (int sceneId : {8, 9}) {
        std::vector<Kept> one;
        for (int threads : {1, 2, 3, 8}) {
            load(sceneId, threads, 1);
            params_.photons.giPhotonCount = 20000;
            if (sceneId == 8) caustics();
            else gi();
            const std::vector<Kept> here = keptList();
            if (threads == 1) {
                one = here;
                ASSERT_GT(one.size(), 2000u);
            } else {
                EXPECT_TRUE(here == one) << "scene " << sceneId << ", " << threads << " threads";
            }
        }
    }
}

TEST_F(PhotonPass, OneThreadRepeatsItsPhotonsEveryFrame) {
    load(9, 1, 0);
    gi();
    const std::vector<Kept> first = keptList();
    reseed();
    gi();
    EXPECT_TRUE(keptList() == first);
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
    const PhotonBlock* blocks = store().blocks.data();
    const Photon* firstChunk = store().blocks[0].chunks[0].get();
    reseed();
    gi();
    EXPECT_EQ(pools.poolIndex, poolIndex);
    EXPECT_EQ(pools.poolUsed, poolUsed);
    EXPECT_EQ(pools.pools[0], firstPool);
    EXPECT_EQ(store().blocks.data(), blocks);
    EXPECT_EQ(store().blocks[0].chunks[0].get(), firstChunk);
}

}  // namespace
}  // namespace lumo
