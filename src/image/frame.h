// Frame buffer, worker slots and the frame renderer.
#pragma once

#include <cstdint>
#include <vector>

#include "intersect/hit_record.h"
#include "photon/photon_store.h"

namespace lumo {

// (width + 1) x (height + 1) packed 0x00RRGGBB pixels, bottom-up; visible: columns 1..width of rows
// 0..height-1. Cleared whenever it is (re)allocated.
struct FrameBuffer {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    void resize(int w, int h);
    uint32_t& at(int row, int column) { return pixels[static_cast<size_t>(row) * (width + 1) + column]; }
    uint32_t at(int row, int column) const { return pixels[static_cast<size_t>(row) * (width + 1) + column]; }
};

struct WorkerSlot {
    PrimaryRay ray;
    PhotonBuffer photons;
    Random rng;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

WorkerSlot& workerSlot(int k);  // k = 0..3

// Renders one picture into fb with the current settings, scene and camera.
void renderFrame(FrameBuffer& fb);

}  // namespace lumo
