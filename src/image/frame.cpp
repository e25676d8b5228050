#include "image/frame.h"

#include <algorithm>

#include "image/packed_pixel.h"
#include "image/render_passes.h"
#include "scene/demo_scenes.h"
#include "shade/shader.h"
#include "simd/sse_path.h"

namespace lumo {

namespace {

// Traces camera rays: worker k traces with its own ray record, mailbox and counts.
struct TracingSampler {
    const View& view;
    std::vector<TraceContext> contexts;
    std::vector<RenderWorker>& workers;

    void enter(int) {}
    uint32_t operator()(int k, float y, float x) {
        const size_t i = static_cast<size_t>(k);
        return traceSample(contexts[i], view, workers[i].ray, y, x);
    }
};

}  // namespace

void RenderWorker::startFrame(size_t objectCount) {
    const size_t perLine = kCacheLine / sizeof(uint32_t);
    mailbox.assign((objectCount + perLine - 1) / perLine + 1, MailboxLine{});
    ray.mailbox = mailbox.front().rayIds;
    ray.rayId = 0;
}

void Renderer::ensureWorkers(int threadCount) {
    const size_t n = static_cast<size_t>(std::max(threadCount, 1));
    if (renderWorkers.size() < n) renderWorkers.resize(n);
    if (photonWorkers.size() < n) photonWorkers.resize(n);
}

uint32_t traceSample(const TraceContext& ctx, const View& view, PrimaryRay& ray, float y, float x) {
    const RayFrame& f = view.rayFrame;
    ray.direction = normalize(add(add(f.cameraCorner, scale(y, f.rowStep)), scale(x, f.columnStep)));
    return packColour(shadeCameraRay(ctx, view, ray));
}

void renderFrame(Renderer& renderer, const Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb) {
    const bool sse = params.useSimd && sseUsable();
    prepareView(view, scene, fb.width, fb.height, sse);
    const int threads = validThreadCount(params.threadCount);
    renderer.ensureWorkers(threads);

    TracingSampler sampler{view, {}, renderer.renderWorkers};
    for (RenderWorker& w : renderer.renderWorkers) {
        w.startFrame(scene.objectCount());
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.params = &params;
        ctx.stats = &w.stats;
        ctx.sse = sse;
        sampler.contexts.push_back(ctx);
    }

    FrameParams frame;
    frame.samplingMode = params.sampling;
    frame.threadCount = threads;
    frame.filter = params.filter;
    for (int i = 0; i < 5; ++i) frame.refine.threshold[i] = params.refineThresholds[i];
    frame.refine.antiAliasing = params.antiAliasing;
    renderPasses(fb, frame, sampler, renderer.workers());
}

void runPhotonPasses(Renderer& renderer, Scene& scene, const RenderParams& params) {
    if (!params.photons.causticsCalculate && !params.photons.giCalculate) return;
    renderer.ensureWorkers(params.threadCount);
    const WorkerWait workers = renderer.workers();
    const PhotonPassSetup setup{params, renderer.frameRandom, renderer.photonWorkers, workers};
    if (params.photons.causticsCalculate) runCausticPass(scene, setup);
    if (params.photons.giCalculate) runGlobalIlluminationPass(scene, setup);
}

void produceFrame(Renderer& renderer, Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb,
                  double clockMs, bool animate) {
    renderer.frameRandom.seed(12345);
    placeEyeOnOrbit(view.camera);
    if (animate) animateScene(scene, clockMs);
    runPhotonPasses(renderer, scene, params);
    renderFrame(renderer, scene, view, params, fb);
}

RayStats totalRayStats(const Renderer& renderer) {
    RayStats total;
    for (const RenderWorker& w : renderer.renderWorkers) {
        total.samples += w.stats.samples;
        total.rays += w.stats.rays;
    }
    for (const PhotonWorker& w : renderer.photonWorkers) {
        total.samples += w.stats.samples;
        total.rays += w.stats.rays;
    }
    return total;
}

void resetRayStats(Renderer& renderer) {
    for (RenderWorker& w : renderer.renderWorkers) w.stats = RayStats{};
    for (PhotonWorker& w : renderer.photonWorkers) w.stats = RayStats{};
}

}  // namespace lumo
