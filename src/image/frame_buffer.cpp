#include "image/frame.h"

namespace lumo {

void FrameBuffer::resize(int w, int h) {
    width = w > 0 ? w : 0;
    height = h > 0 ? h : 0;
    pixels.assign(static_cast<size_t>(width + 1) * static_cast<size_t>(height + 1), 0u);
}

namespace {
WorkerSlot slots[kMaxWorkers];
}

WorkerSlot& workerSlot(int k) { return slots[k]; }

RayStats totalRayStats() {
    RayStats total;
    for (const WorkerSlot& s : slots) {
        total.samples += s.stats.samples;
        total.rays += s.stats.rays;
    }
    return total;
}

void resetRayStats() {
    for (WorkerSlot& s : slots) s.stats = RayStats{};
}

}  // namespace lumo
