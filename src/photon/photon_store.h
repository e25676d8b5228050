// Photon records, the storage of a photon pass's work blocks and the buffer a worker stores through.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <memory>
#include <vector>

#include "core/random.h"
#include "intersect/hit_record.h"
#include "scene/scene_object.h"

namespace lumo {

struct Photon {
    Photon* next;
    float u;
    float v;
    float power;
    float wavelength;
    SceneObject* object;
};

// Photons a block stores go into chunks of this many; a chunk never moves, since the quadtrees link
// photons through Photon::next.
inline constexpr int kPhotonsPerChunk = 1024;
// A pass keeps at most this many photons (500 blocks of 4096 as ever); stores past it are refused.
inline constexpr int64_t kPhotonStoreLimit = int64_t{500} * 4096;

// The photons one work block of a pass stored, in emission order. Its chunks stay with the block and
// are reused by later passes, so a steady-state pass allocates nothing.
struct PhotonBlock {
    std::vector<std::unique_ptr<Photon[]>> chunks;
    uint32_t count = 0;  // photons stored in the current pass
    uint32_t kept = 0;   // how many of them the pass keeps (set once the block joins the kept prefix)

    Photon& operator[](uint32_t i) { return chunks[i / kPhotonsPerChunk][i % kPhotonsPerChunk]; }
    const Photon& operator[](uint32_t i) const { return chunks[i / kPhotonsPerChunk][i % kPhotonsPerChunk]; }
};

// A scene's photon storage: one PhotonBlock per work block of the largest pass so far. The photons of
// the last pass are, in this order, blocks 0..keptBlocks-1, each up to its `kept` count: the order
// in which one thread emits them, whatever the thread count.
struct PhotonStore {
    std::vector<PhotonBlock> blocks;
    int keptBlocks = 0;
    std::vector<uint8_t> finished;  // scratch of PhotonBlockOrder, kept with its capacity
};

// Photons the last pass kept.
int64_t keptPhotons(const PhotonStore& store);

// What a worker stores through: the block it works on and that block's budget. The generator and the
// wavelength travel with the worker's photons, so threads never share mutable random or spectral state.
struct PhotonBuffer {
    PhotonBlock* block = nullptr;
    uint32_t limit = 0;  // stores past this many photons of the block are refused
    Random* rng = nullptr;
    float wavelength = 555.0f;
};

// Makes `block` the buffer's block for a new work block, empty, refusing stores past `limit` photons.
void startPhotonBlock(PhotonBuffer& buffer, PhotonBlock& block, uint32_t limit);

// Appends one photon to the buffer's block, adding a chunk when the block's chunks are full. Returns
// false (and stores nothing) once the block holds `limit` photons.
bool storePhoton(PhotonBuffer& buffer, const HitRecord& hit, float power, float wavelength);

// Hands out the work blocks of a pass in index order and decides, in that order, which blocks count
// and how many photons each keeps, while blocks finish in any order on any thread. The pass keeps the
// shortest prefix of blocks whose photons reach `goal` (all blocks if they never do), and within it the
// first `limit` photons: a block past the limit is refused its stores, whichever thread ran it when.
class PhotonBlockOrder {
public:
    // Prepares store.blocks and store.finished for blockCount blocks.
    PhotonBlockOrder(PhotonStore& store, int blockCount, int64_t goal, int64_t limit = kPhotonStoreLimit);

    // The next block to run, or -1 once every block is taken or the kept prefix is known complete.
    int take();
    // Starts block k on the buffer. Its budget is what the finished prefix before it leaves of the limit:
    // the blocks before k still running only lower what block k may keep, never raise it.
    void start(int k, PhotonBuffer& buffer);
    // Block k has stored its photons.
    void finish(int k);
    // After every worker is done: sets store.keptBlocks.
    void close();
    // A worker failed (out of memory): the others take no further blocks, so the pass ends soon.
    void abandon() { end_.store(0, std::memory_order_release); }

private:
    PhotonStore& store_;
    const int64_t goal_;
    const int64_t limit_;
    std::atomic<int32_t> next_{0};
    std::atomic<int32_t> end_;  // blocks from here on are discarded
    std::mutex mutex_;
    int32_t prefixEnd_ = 0;  // blocks [0, prefixEnd_) are finished and counted
    int64_t prefixPhotons_ = 0;
};

}  // namespace lumo
