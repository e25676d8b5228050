#include <gtest/gtest.h>

#include <set>
#include <thread>
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

TEST(PhotonStore, StoresFillBlocksInTableOrder) {
    SceneObject floor;
    PhotonBuffer a;
    PhotonBuffer* buffers[] = {&a};
    PhotonBlockTable table;
    resetPhotonStore(table, buffers, 1);

    for (int i = 0; i < kPhotonsPerBlock; ++i) ASSERT_TRUE(storePhoton(a, hitAt(0.25f, 0.5f, &floor), 0.5f, 600.0f));
    EXPECT_EQ(table.blockCount.load(), 1);
    EXPECT_EQ(a.block, table.blocks[0]);
    EXPECT_EQ(a.count, 4096u);

    // The 4097th store opens the second block at index 0.
    ASSERT_TRUE(storePhoton(a, hitAt(0.75f, 0.125f, &floor), 2.0f, 450.0f));
    EXPECT_EQ(table.blockCount.load(), 2);
    EXPECT_EQ(a.block, table.blocks[1]);
    EXPECT_EQ(a.count, 1u);
    const Photon& p = table.blocks[1][0];
    EXPECT_EQ(p.next, nullptr);
    EXPECT_FLOAT_EQ(p.u, 0.75f);
    EXPECT_FLOAT_EQ(p.v, 0.125f);
    EXPECT_FLOAT_EQ(p.power, 2.0f);
    EXPECT_FLOAT_EQ(p.wavelength, 450.0f);
    EXPECT_EQ(p.object, &floor);
    EXPECT_FLOAT_EQ(table.blocks[0][4095].u, 0.25f);

    // A new pass reuses the blocks from slot 0 without allocating.
    Photon* first = table.blocks[0];
    resetPhotonStore(table, buffers, 1);
    ASSERT_TRUE(storePhoton(a, hitAt(0.0f, 0.0f, &floor), 1.0f, 555.0f));
    EXPECT_EQ(a.block, first);
    EXPECT_EQ(table.blockCount.load(), 1);
}

TEST(PhotonStore, RefusesAStoreThatWouldNeedA501stBlock) {
    SceneObject floor;
    PhotonBuffer a;
    PhotonBuffer* buffers[] = {&a};
    PhotonBlockTable table;
    resetPhotonStore(table, buffers, 1);
    table.blockCount.store(kPhotonBlockSlots - 1);
    ASSERT_TRUE(storePhoton(a, hitAt(0.5f, 0.5f, &floor), 1.0f, 555.0f));  // takes the 500th block
    a.count = kPhotonsPerBlock;                                           // pretend it is full
    EXPECT_FALSE(storePhoton(a, hitAt(0.5f, 0.5f, &floor), 1.0f, 555.0f));
    EXPECT_EQ(usedPhotonBlocks(table), kPhotonBlockSlots);
    EXPECT_EQ(a.count, static_cast<uint32_t>(kPhotonsPerBlock));  // the buffer is left as it was
}

// Four threads storing at once never share a block and lose no photon.
TEST(PhotonStore, ConcurrentStoresTakeDistinctBlocks) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3 * kPhotonsPerBlock + 17;
    std::vector<SceneObject> owners(kThreads);
    PhotonBuffer buffers[kThreads];
    PhotonBuffer* list[kThreads];
    for (int k = 0; k < kThreads; ++k) list[k] = &buffers[k];
    PhotonBlockTable table;
    resetPhotonStore(table, list, kThreads);

    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            for (int i = 0; i < kPerThread; ++i)
                storePhoton(buffers[k], hitAt(static_cast<float>(i), 0.0f, &owners[k]), 1.0f, 555.0f);
        });
    for (auto& t : threads) t.join();

    ASSERT_EQ(table.blockCount.load(), kThreads * 4);
    std::set<Photon*> distinct;
    int counted[kThreads] = {};
    for (int m = 0; m < kThreads * 4; ++m) {
        distinct.insert(table.blocks[m]);
        const SceneObject* owner = table.blocks[m][0].object;
        int n = kPhotonsPerBlock;
        for (int k = 0; k < kThreads; ++k)
            if (buffers[k].block == table.blocks[m]) n = static_cast<int>(buffers[k].count);
        for (int i = 0; i < n; ++i) ASSERT_EQ(table.blocks[m][i].object, owner) << "block " << m << " mixes threads";
        counted[owner - owners.data()] += n;
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * 4));
    for (int k = 0; k < kThreads; ++k) EXPECT_EQ(counted[k], kPerThread);
}

}  // namespace
}  // namespace lumo
