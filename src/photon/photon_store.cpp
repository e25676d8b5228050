#include "photon/photon_store.h"

namespace lumo {

PhotonBlockTable::~PhotonBlockTable() {
    for (Photon* block : blocks) delete[] block;
}

void resetPhotonStore(PhotonBlockTable& table, PhotonBuffer* const* buffers, int bufferCount) {
    for (int k = 0; k < bufferCount; ++k) {
        buffers[k]->table = &table;
        buffers[k]->count = kPhotonsPerBlock + 1;
    }
    table.blockCount.store(0, std::memory_order_relaxed);
}

bool storePhoton(PhotonBuffer& buffer, const HitRecord& hit, float power, float wavelength) {
    if (buffer.count >= static_cast<uint32_t>(kPhotonsPerBlock)) {
        PhotonBlockTable& table = *buffer.table;
        const int32_t slot = table.blockCount.fetch_add(1, std::memory_order_relaxed);
        if (slot >= kPhotonBlockSlots) return false;
        // The slot belongs to this thread alone from here on; the pass's join publishes it.
        if (!table.blocks[slot]) table.blocks[slot] = new Photon[kPhotonsPerBlock];
        buffer.block = table.blocks[slot];
        buffer.count = 0;
    }
    Photon& p = buffer.block[buffer.count];
    p.next = nullptr;
    p.u = hit.u;
    p.v = hit.v;
    p.power = power;
    p.wavelength = wavelength;
    p.object = hit.object;
    ++buffer.count;
    return true;
}

}  // namespace lumo
