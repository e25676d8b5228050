#include "image/frame.h"

#include <algorithm>

#include "core/pass_sequence.h"
#include "image/packed_pixel.h"
#include "image/render_passes.h"
#include "scene/demo_scenes.h"
#include "shade/packet_shading.h"
#include "shade/shader.h"

namespace lumo {

namespace {

// Traces camera rays: worker k traces with its own ray record, mailbox and counts. Rows of samples go
// in packets where the frame has a packet kernel.
struct TracingSampler {
    const View& view;
    std::vector<TraceContext> contexts;
    std::vector<RenderWorker>& workers;
    PacketKernels kernels;

    void enter(int) {}
    void countTile(int k) { ++workers[static_cast<size_t>(k)].stats.tiles; }
    uint32_t operator()(int k, float y, float x) {
        const size_t i = static_cast<size_t>(k);
        return traceSample(contexts[i], view, workers[i].ray, y, x);
    }
    // rowPixels[columns[i]] = the sample at (y, columns[i]) for i < count.
    void traceRow(int k, int y, const int* columns, int count, uint32_t* rowPixels) {
        const size_t i = static_cast<size_t>(k);
        if (kernels.camera) {
            tracePacketRow(contexts[i], view, kernels, static_cast<float>(y), columns, count, rowPixels);
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

namespace {

// The record of lane k's winner as the scalar walk leaves it: the packet's own record where the
// kernel kept one, the distance alone for a sphere (its camera test writes nothing else), else the
// shape's own test on a clean record.
HitRecord winnerRecord(const CameraPacketFrame& frame, const PacketHits& out, int k, const Vec3& eye,
                       const Vec3& direction) {
    if (frame.bvhNodes) return out.records[k];  // the walk keeps every winner's record
    const PacketShape& shape = frame.shapes[out.shape[k]];
    HitRecord hit{};
    if (out.recorded & (1u << k))
        hit = out.records[k];
    else if (shape.kind == kPacketSphere)
        hit.distance = out.distance[k];
    else
        intersectCameraForm(*shape.object, *shape.cache, eye, direction, hit);
    hit.object = const_cast<SceneObject*>(shape.object);
    return hit;
}

}  // namespace

void tracePacketRow(const TraceContext& ctx, const View& view, const PacketKernels& kernels, float y,
                    const int* columns, int count, uint32_t* rowPixels) {
    const CameraPacketFrame& frame = view.packets.frame;
    const Vec3 eye = view.camera.eyePosition;
    const int lanes = kernels.lanes;
    PacketShading shading = startPacketShading(ctx, view, kernels);
    alignas(64) float x[kMaxPacketLanes];
    PacketHits out;
    HitRecord hits[kMaxPacketLanes];
    Vec3 directions[kMaxPacketLanes];
    for (int first = 0; first < count; first += lanes) {
        const int n = std::min(lanes, count - first);
        for (int k = 0; k < lanes; ++k) x[k] = static_cast<float>(columns[first + std::min(k, n - 1)]);
        kernels.camera(frame, y, x, out);
        ctx.stats->samples += static_cast<uint64_t>(n);
        ctx.stats->rays += static_cast<uint64_t>(n);
        unsigned hitLanes = 0;
        for (int k = 0; k < n; ++k) {
            const int s = out.shape[k];
            if (s < 0 || !(out.distance[k] > 0.0f)) continue;
            directions[k] = {out.direction[0][k], out.direction[1][k], out.direction[2][k]};
            hits[k] = winnerRecord(frame, out, k, eye, directions[k]);
            hitLanes |= 1u << k;
        }
        shadePacket(shading, ctx, view, kernels, directions, hits, hitLanes, n, [&](int k, const Vec3& colour) {
            rowPixels[columns[first + k]] = packColour(colour);
        });
    }
}

namespace {

// The scene's leaf in SIMD form for rays at level `isa`, from the scene as it is now; null where the
// scalar walk runs.
const LeafShapes* prepareLeafShapes(Renderer& renderer, const Scene& scene, Isa isa) {
    buildLeafShapes(renderer.leafShapes, scene, isa);
    return renderer.leafShapes.tree ? &renderer.leafShapes : nullptr;
}

}  // namespace

namespace {

// Every camera sample of the picture moved by `offset` pixels: the corner of the ray frame moves, for
// the scalar rays and the packets alike.
void offsetSamples(View& view, const PassOffset& offset) {
    RayFrame& f = view.rayFrame;
    f.cameraCorner = add(f.cameraCorner, add(scale(offset.row, f.rowStep), scale(offset.column, f.columnStep)));
    view.packets.frame.cameraCorner = f.cameraCorner;
}

}  // namespace

void renderFrame(Renderer& renderer, const Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb) {
    prepareView(view, scene, fb.width, fb.height);
    if (params.pass > 1) offsetSamples(view, passOffset(params.pass));
    const int threads = validThreadCount(params.threadCount);
    renderer.ensureWorkers(threads);

    const Isa isa = resolveIsa(params.isa, processorIsa());
    TracingSampler sampler{view, {}, renderer.renderWorkers, packetKernels(isa)};
    const LeafShapes* leaf = prepareLeafShapes(renderer, scene, isa);
    for (RenderWorker& w : renderer.renderWorkers) {
        w.startFrame(scene.objectCount());
        TraceContext ctx;
        ctx.scene = &scene;
        ctx.params = &params;
        ctx.stats = &w.stats;
        ctx.leafShapes = leaf;
        ctx.scalarBoxes = isa == kIsaScalar;
        chooseTreeWalks(ctx);
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
    const LeafShapes* leaf = prepareLeafShapes(renderer, scene, resolveIsa(params.isa, processorIsa()));
    const PhotonPassSetup setup{params, renderer.frameRandom, renderer.photonWorkers, workers, leaf};
    if (params.photons.causticsCalculate) runCausticPass(scene, setup);
    if (params.photons.giCalculate) runGlobalIlluminationPass(scene, setup);
}

void produceFrame(Renderer& renderer, Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb,
                  double clockMs, bool animate) {
    renderer.frameRandom.seed(passSeed(params.pass));
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
