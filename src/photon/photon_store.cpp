#include "photon/photon_store.h"

#include <algorithm>

namespace lumo {

int64_t keptPhotons(const PhotonStore& store) {
    int64_t total = 0;
    for (int m = 0; m < store.keptBlocks; ++m) total += store.blocks[static_cast<size_t>(m)].kept;
    return total;
}

void startPhotonBlock(PhotonBuffer& buffer, PhotonBlock& block, uint32_t limit) {
    block.count = 0;
    block.kept = 0;
    buffer.block = &block;
    buffer.limit = limit;
}

bool storePhoton(PhotonBuffer& buffer, const HitRecord& hit, float power, float wavelength) {
    PhotonBlock& block = *buffer.block;
    if (block.count >= buffer.limit) return false;
    const size_t chunk = block.count / kPhotonsPerChunk;
    // Only a block that outgrows what it held in earlier passes allocates.
    if (chunk == block.chunks.size()) block.chunks.push_back(std::make_unique<Photon[]>(kPhotonsPerChunk));
    Photon& p = block.chunks[chunk][block.count % kPhotonsPerChunk];
    p.next = nullptr;
    p.u = hit.u;
    p.v = hit.v;
    p.power = power;
    p.wavelength = wavelength;
    p.object = hit.object;
    ++block.count;
    return true;
}

PhotonBlockOrder::PhotonBlockOrder(PhotonStore& store, int blockCount, int64_t goal, int64_t limit)
    : store_(store), goal_(goal), limit_(limit), end_(std::max(blockCount, 0)) {
    const size_t n = static_cast<size_t>(std::max(blockCount, 0));
    if (store.blocks.size() < n) store.blocks.resize(n);
    store.finished.assign(n, 0);
    store.keptBlocks = 0;
}

int PhotonBlockOrder::take() {
    const int32_t k = next_.fetch_add(1, std::memory_order_relaxed);
    return k < end_.load(std::memory_order_acquire) ? k : -1;
}

void PhotonBlockOrder::start(int k, PhotonBuffer& buffer) {
    int64_t left;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        left = limit_ - prefixPhotons_;
    }
    startPhotonBlock(buffer, store_.blocks[static_cast<size_t>(k)], static_cast<uint32_t>(std::max<int64_t>(left, 0)));
}

void PhotonBlockOrder::finish(int k) {
    std::lock_guard<std::mutex> lock(mutex_);
    store_.finished[static_cast<size_t>(k)] = 1;
    int32_t end = end_.load(std::memory_order_relaxed);
    while (prefixEnd_ < end && store_.finished[static_cast<size_t>(prefixEnd_)]) {
        PhotonBlock& b = store_.blocks[static_cast<size_t>(prefixEnd_)];
        b.kept = static_cast<uint32_t>(std::min<int64_t>(b.count, limit_ - prefixPhotons_));
        prefixPhotons_ += b.kept;
        ++prefixEnd_;
        if (prefixPhotons_ >= goal_ || prefixPhotons_ >= limit_) {
            end = prefixEnd_;
            end_.store(end, std::memory_order_release);
        }
    }
}

void PhotonBlockOrder::close() { store_.keptBlocks = prefixEnd_; }

}  // namespace lumo
