// Photon records, per-worker photon buffers and a scene's table of photon blocks.
#pragma once

#include <atomic>
#include <cstdint>

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

inline constexpr int kPhotonsPerBlock = 4096;
inline constexpr int kPhotonBlockSlots = 500;

// One per photon thread. The generator and the wavelength travel with the thread's photons, so
// threads never share mutable random or spectral state.
struct PhotonBlockTable;
struct PhotonBuffer {
    PhotonBlockTable* table = nullptr;  // where the buffer takes its blocks
    Photon* block = nullptr;
    uint32_t count = kPhotonsPerBlock + 1;  // > 4096: the first store takes a fresh block
    Random* rng = nullptr;
    float wavelength = 555.0f;
};

// The blocks photons are stored in. A block, once allocated, keeps its slot for the table's lifetime
// and is reused by later passes. blockCount counts the slots handed out in the current pass; it may
// run past kPhotonBlockSlots when a store is refused, so readers clamp it.
struct PhotonBlockTable {
    Photon* blocks[kPhotonBlockSlots] = {};
    std::atomic<int32_t> blockCount{0};

    PhotonBlockTable() = default;
    PhotonBlockTable(const PhotonBlockTable&) = delete;
    PhotonBlockTable& operator=(const PhotonBlockTable&) = delete;
    ~PhotonBlockTable();
};

// Number of blocks of the current pass that exist (blockCount clamped to the table size).
inline int usedPhotonBlocks(const PhotonBlockTable& table) {
    const int32_t n = table.blockCount.load(std::memory_order_relaxed);
    return n < kPhotonBlockSlots ? n : kPhotonBlockSlots;
}

// Starts a pass: no block handed out; every buffer of `buffers` stores into `table` and takes a fresh
// block on its first store.
void resetPhotonStore(PhotonBlockTable& table, PhotonBuffer* const* buffers, int bufferCount);

// Appends one photon to the buffer's current block, taking a new block when it is full. Taking a
// block is one atomic increment, so no two threads get the same block. Returns false (and stores
// nothing) when the table has no free slot.
bool storePhoton(PhotonBuffer& buffer, const HitRecord& hit, float power, float wavelength);

}  // namespace lumo
