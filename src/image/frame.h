// Frame buffer, worker slots and the frame renderer.
#pragma once

#include <cstdint>
#include <vector>

#include "core/vec3.h"
#include "intersect/hit_record.h"
#include "photon/photon_store.h"
#include "scene/world.h"
#include "trace/trace.h"

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

// Aligned so that no two render threads write the same cache line.
struct alignas(kCacheLine) WorkerSlot {
    PrimaryRay ray;
    PhotonBuffer photons;
    Random rng;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the block rectangle of a Subsampling worker
    RayStats stats;                          // counted by the thread working with this slot
};

WorkerSlot& workerSlot(int k);  // k = 0..3

// The camera ray frame of the current picture: a sample at row y, column x looks along
// normalize(cameraCorner + y * rowStep + x * columnStep) from the eye.
struct RayFrame {
    Vec3 cameraCorner{0.0f, 1.0f, 0.0f};
    Vec3 rowStep{0.0f, 0.0f, 0.0f};
    Vec3 columnStep{0.0f, 0.0f, 0.0f};
};

RayFrame& rayFrame();
// Derives the ray frame from the camera; the field of view spans the shorter side of the picture.
RayFrame computeRayFrame(const Camera& camera, int width, int height);

// Traces the camera ray through (row y, column x) with the slot's ray record and packs the colour.
// Rows and columns may be fractional. The ray is counted in *rayStats.
uint32_t traceSample(WorkerSlot& slot, float y, float x);

// Renders one picture into fb with the current settings, scene and camera: prepares the per-frame
// camera caches, builds the ray frame, runs "1:1" or "Subsampling" on 1, 2 or 4 threads, filters.
void renderFrame(FrameBuffer& fb);

// Sum and reset of the four slots' ray counts (read between frames).
RayStats totalRayStats();
void resetRayStats();

}  // namespace lumo
