#include "image/frame.h"

#include <algorithm>

#include "image/packed_pixel.h"
#include "image/render_passes.h"
#include "scene/demo_scenes.h"
#include "shade/shader.h"

namespace lumo {

namespace {

// Traces camera rays: worker k traces with its own ray record, mailbox and counts. Rows of samples go
// in packets where the frame has a packet kernel and the scene a single leaf.
struct TracingSampler {
    const View& view;
    std::vector<TraceContext> contexts;
    std::vector<RenderWorker>& workers;
    CameraPacketKernel kernel = nullptr;
    int lanes = 1;

    void enter(int) {}
    uint32_t operator()(int k, float y, float x) {
        const size_t i = static_cast<size_t>(k);
        return traceSample(contexts[i], view, workers[i].ray, y, x);
    }
    // rowPixels[columns[i]] = the sample at (y, columns[i]) for i < count.
    void traceRow(int k, int y, const int* columns, int count, uint32_t* rowPixels) {
        const size_t i = static_cast<size_t>(k);
        if (kernel && view.packets.usable) {
            tracePacketRow(contexts[i], view, kernel, lanes, static_cast<float>(y), columns, count, rowPixels);
            return;
        }
        for (int c = 0; c < count; ++c)
            rowPixels[columns[c]] = traceSample(contexts[i], view, workers[i].ray, static_cast<float>(y),
                                                static_cast<float>(columns[c]));
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

void tracePacketRow(const TraceContext& ctx, const View& view, CameraPacketKernel kernel, int lanes, float y,
                    const int* columns, int count, uint32_t* rowPixels) {
    const CameraPacketFrame& frame = view.packets.frame;
    const ShaderFn shader = shaderFunction(ctx.params->shader);
    const Vec3 eye = view.camera.eyePosition;
    alignas(64) float x[kMaxPacketLanes];
    PacketHits hits;
    for (int first = 0; first < count; first += lanes) {
        const int n = std::min(lanes, count - first);
        for (int k = 0; k < lanes; ++k) x[k] = static_cast<float>(columns[first + std::min(k, n - 1)]);
        kernel(frame, y, x, hits);
        ctx.stats->samples += static_cast<uint64_t>(n);
        ctx.stats->rays += static_cast<uint64_t>(n);
        for (int k = 0; k < n; ++k) {
            Vec3 colour{0.0f, 0.0f, 0.0f};
            const int s = hits.shape[k];
            if (s >= 0 && hits.distance[k] > 0.0f) {
                // The winner's record as the scalar walk leaves it: its own test, on a clean record.
                const PacketShape& shape = frame.shapes[s];
                const Vec3 direction{hits.direction[0][k], hits.direction[1][k], hits.direction[2][k]};
                HitRecord hit{};
                intersectCameraForm(*shape.object, *shape.cache, eye, direction, hit);
                hit.object = const_cast<SceneObject*>(shape.object);
                colour = shader(ctx, eye, direction, hit, &airMedium, 0);
            }
            rowPixels[columns[first + k]] = packColour(colour);
        }
    }
}

void renderFrame(Renderer& renderer, const Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb) {
    prepareView(view, scene, fb.width, fb.height);
    const int threads = validThreadCount(params.threadCount);
    renderer.ensureWorkers(threads);

    const Isa isa = resolveIsa(params.isa, processorIsa());
    TracingSampler sampler{view, {}, renderer.renderWorkers, cameraPacketKernel(isa), isaLanes(isa)};
    for (RenderWorker& w : renderer.renderWorkers) {
        w.startFrame(scene.objectCount());
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.params = &params;
        ctx.stats = &w.stats;
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
