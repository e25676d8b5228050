#include <gtest/gtest.h>

#include <vector>

#include "photon/photon_store.h"

namespace lumo {
namespace {

HitRecord hitAt(float u, float v, SceneObject* object) {
    HitRecord h{};
    h.u = u;
    h.v = v;
    h.distance = 1.0f;
    h.object = object;
    return h;
}

TEST(PhotonStore, BlockStoresInEmissionOrderAndKeepsItsChunks) {
    SceneObject floor;
    PhotonBlock block;
    PhotonBuffer buffer;
    startPhotonBlock(buffer, block, kPhotonsPerChunk + 2);
    for (int i = 0; i <= kPhotonsPerChunk; ++i)
        ASSERT_TRUE(storePhoton(buffer, hitAt(static_cast<float>(i), 0.5f, &floor), 0.5f, 600.0f));
    ASSERT_EQ(block.count, static_cast<uint32_t>(kPhotonsPerChunk + 1));
    ASSERT_EQ(block.chunks.size(), 2u);
    const Photon& p = block[kPhotonsPerChunk];
    EXPECT_EQ(&p, &block.chunks[1][0]);
    EXPECT_EQ(p.next, nullptr);
    EXPECT_EQ(p.u, static_cast<float>(kPhotonsPerChunk));
    EXPECT_EQ(p.v, 0.5f);
    EXPECT_EQ(p.power, 0.5f);
    EXPECT_EQ(p.wavelength, 600.0f);
    EXPECT_EQ(p.object, &floor);
    EXPECT_EQ(block[7].u, 7.0f);

    // The budget refuses the store past it and leaves the block as it was.
    ASSERT_TRUE(storePhoton(buffer, hitAt(0.0f, 0.0f, &floor), 1.0f, 555.0f));
    EXPECT_FALSE(storePhoton(buffer, hitAt(0.0f, 0.0f, &floor), 1.0f, 555.0f));
    EXPECT_EQ(block.count, static_cast<uint32_t>(kPhotonsPerChunk + 2));

    // A later pass refills the same chunks without allocating.
    const Photon* first = block.chunks[0].get();
    startPhotonBlock(buffer, block, kPhotonsPerChunk);
    ASSERT_TRUE(storePhoton(buffer, hitAt(0.25f, 0.0f, &floor), 1.0f, 555.0f));
    EXPECT_EQ(block.count, 1u);
    EXPECT_EQ(block.chunks.size(), 2u);
    EXPECT_EQ(&block[0], first);
    EXPECT_EQ(block[0].u, 0.25f);
}

// Runs block k of `order` storing n photons through `buffer`.
void runBlock(PhotonBlockOrder& order, PhotonBuffer& buffer, int k, int n, SceneObject* object) {
    order.start(k, buffer);
    for (int i = 0; i < n; ++i) storePhoton(buffer, hitAt(static_cast<float>(k), 0.0f, object), 1.0f, 555.0f);
}

std::vector<uint32_t> keptCounts(const PhotonStore& store) {
    std::vector<uint32_t> kept;
    for (int m = 0; m < store.keptBlocks; ++m) kept.push_back(store.blocks[static_cast<size_t>(m)].kept);
    return kept;
}

// Blocks that finish in any order give the prefix one thread gives: the shortest one reaching the goal.
TEST(PhotonBlockOrder, KeepsTheShortestPrefixReachingTheGoalWhateverTheFinishingOrder) {
    SceneObject floor;
    const int counts[] = {3, 4, 2, 5, 1, 1};
    const std::vector<uint32_t> expected{3, 4, 2, 5};  // 9 < 10 <= 14
    for (const std::vector<int>& finishing : {std::vector<int>{0, 1, 2, 3, 4, 5}, std::vector<int>{5, 2, 4, 0, 3, 1}}) {
        PhotonStore store;
        PhotonBlockOrder order(store, 6, 10);
        std::vector<PhotonBuffer> buffers(6);
        for (int k = 0; k < 6; ++k) {
            ASSERT_EQ(order.take(), k);  // workers run ahead of the prefix
            runBlock(order, buffers[static_cast<size_t>(k)], k, counts[k], &floor);
        }
        for (int k : finishing) order.finish(k);
        EXPECT_EQ(order.take(), -1);
        order.close();
        EXPECT_EQ(keptCounts(store), expected);
        EXPECT_EQ(keptPhotons(store), 14);
        EXPECT_EQ(store.blocks[1][3].u, 1.0f);
    }

    // Once the prefix is complete, no block is handed out any more.
    PhotonStore store;
    PhotonBlockOrder order(store, 100, 5);
    PhotonBuffer buffer;
    ASSERT_EQ(order.take(), 0);
    runBlock(order, buffer, 0, 6, &floor);
    order.finish(0);
    EXPECT_EQ(order.take(), -1);
    order.close();
    EXPECT_EQ(store.keptBlocks, 1);
}

// The storage limit refuses photons by block order, not by which block stored first.
TEST(PhotonBlockOrder, LimitCutsInBlockOrder) {
    SceneObject floor;
    PhotonStore store;
    PhotonBlockOrder order(store, 5, 1000, 8);
    std::vector<PhotonBuffer> buffers(5);
    for (int k : {0, 1, 2, 3}) ASSERT_EQ(order.take(), k);
    // Blocks 3 and 2 store first, each within the whole budget.
    runBlock(order, buffers[3], 3, 5, &floor);
    runBlock(order, buffers[2], 2, 6, &floor);
    EXPECT_EQ(store.blocks[2].count, 6u);
    runBlock(order, buffers[0], 0, 3, &floor);
    order.finish(3);
    order.finish(2);
    order.finish(0);
    // Block 1 starts after block 0 finished: its budget is what block 0 left.
    runBlock(order, buffers[1], 1, 7, &floor);
    EXPECT_EQ(store.blocks[1].count, 5u);
    order.finish(1);
    EXPECT_EQ(order.take(), -1);
    order.close();
    EXPECT_EQ(keptCounts(store), (std::vector<uint32_t>{3, 5}));
    EXPECT_EQ(keptPhotons(store), 8);
}

}  // namespace
}  // namespace lumo
