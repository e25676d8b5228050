#include "image/frame.h"

#include "app/settings.h"
#include "image/packed_pixel.h"
#include "image/render_passes.h"
#include "scene/world.h"

namespace lumo {

namespace {

// Traces camera rays: each thread counts into its slot's stats and marks mailboxes with its slot.
struct TracingSampler {
    WorkerSlot* slots[kMaxWorkers] = {&workerSlot(0), &workerSlot(1), &workerSlot(2), &workerSlot(3)};

    void enter(int k) {
        slots[k]->ray.slot = k;
        rayStats = &slots[k]->stats;
    }
    uint32_t operator()(int k, float y, float x) { return traceSample(*slots[k], y, x); }
};

}  // namespace

uint32_t traceSample(WorkerSlot& slot, float y, float x) {
    const RayFrame& f = rayFrame();
    slot.ray.direction = normalize(add(add(f.cameraCorner, scale(y, f.rowStep)), scale(x, f.columnStep)));
    return packColour(traceCameraRay(slot.ray));
}

void renderFrame(FrameBuffer& fb) {
    prepareCameraFrame();
    rayFrame() = computeRayFrame(camera(), fb.width, fb.height);
    // Mailboxes were cleared to 0 for this frame; every slot numbers its rays from 1 again.
    for (int k = 0; k < kMaxWorkers; ++k) workerSlot(k).ray.rayId = 0;

    const RenderSettings& s = settings();
    FrameParams params;
    params.samplingMode = s.samplingMode;
    params.threadCount = s.threadCount;
    params.filter = s.filterOn != 0;
    for (int i = 0; i < 5; ++i) params.refine.threshold[i] = s.refineThresholds[i];
    params.refine.antiAliasing = s.antiAliasing;

    RayStats* const callerStats = rayStats;
    TracingSampler sampler;
    renderPasses(fb, params, sampler);
    rayStats = callerStats;
}

}  // namespace lumo
