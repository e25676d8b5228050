// The renderer: one frame of a scene seen through a view, with the per-worker state it owns.
#pragma once

#include <cstdint>
#include <vector>

#include "core/random.h"
#include "core/render_params.h"
#include "core/workers.h"
#include "image/frame_buffer.h"
#include "intersect/hit_record.h"
#include "photon/photon_pass.h"
#include "scene/scene.h"
#include "trace/trace.h"
#include "trace/view.h"

namespace lumo {

// One render worker's own state: its camera ray, its mailbox (one entry per scene object, on cache
// lines of its own) and its ray counts.
struct alignas(kCacheLine) RenderWorker {
    struct alignas(kCacheLine) MailboxLine {
        uint32_t rayIds[kCacheLine / sizeof(uint32_t)];
    };
    PrimaryRay ray;
    std::vector<MailboxLine> mailbox;
    RayStats stats;

    // Sizes the mailbox for `objectCount` objects, clears it and numbers rays from 1 again.
    void startFrame(size_t objectCount);
};

// Renders frames. Owns everything that is per worker, sized by the thread count of the frame at
// hand, so several renderers can work side by side in one process.
struct Renderer {
    std::vector<RenderWorker> renderWorkers;
    std::vector<PhotonWorker> photonWorkers;
    Random frameRandom;  // reseeded every frame (12345 for a plain frame), so photon noise does not flicker
    WorkerWait wait;     // how threaded passes wait for late workers
    WorkerPool pool;     // the threads of its passes, kept from frame to frame
    // The scene's leaf in SIMD form for the rays of a frame's passes, rebuilt before each pass set.
    LeafShapes leafShapes;

    // How its passes run: `wait`, on the renderer's own threads.
    WorkerWait workers() {
        WorkerWait w = wait;
        w.pool = &pool;
        return w;
    }

    // Makes room for `threadCount` workers.
    void ensureWorkers(int threadCount);
};

// Traces the camera ray through (row y, column x) and packs its colour. Rows and columns may be
// fractional.
uint32_t traceSample(const TraceContext& ctx, const View& view, PrimaryRay& ray, float y, float x);

// The samples (y, columns[i]) for i < count, a packet at a time: camera rays through the camera
// kernel, their hits shaded by shadePacket: rowPixels[columns[i]] = colour. The view's packet data
// must be usable.
void tracePacketRow(const TraceContext& ctx, const View& view, const PacketKernels& kernels, float y,
                    const int* columns, int count, uint32_t* rowPixels);

// Renders one picture of `scene` through `view` (whose eye is set) into fb with params: prepares the
// view (its samples moved by the pass's sub-pixel offset), runs "1:1" or "Subsampling" on 1, 2 or 4
// threads, filters.
void renderFrame(Renderer& renderer, const Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb);

// The photon passes whose Calculate switch is on, caustics first, drawing from frameRandom. While a
// switch is off its map stays as the last pass left it.
void runPhotonPasses(Renderer& renderer, Scene& scene, const RenderParams& params);

// One frame as the program shows it: reseed frameRandom with the pass's seed (12345 for pass 1), put
// the view's eye on its orbit, run the scene's animation at clock clockMs when `animate`, the photon
// passes, render.
void produceFrame(Renderer& renderer, Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb,
                  double clockMs, bool animate);

// Sum and reset of every worker's ray counts (read between frames).
RayStats totalRayStats(const Renderer& renderer);
void resetRayStats(Renderer& renderer);

}  // namespace lumo
