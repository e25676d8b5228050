#include "image/frame.h"

#include <algorithm>
#include <bit>

#include "image/packed_pixel.h"
#include "image/render_passes.h"
#include "scene/demo_scenes.h"
#include "shade/complete_hit.h"
#include "shade/shader.h"
#include "trace/shadow.h"

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

// Whether a frame's Phong hits send their first shadow rays as packets: where the shader casts them
// and they cost more than setting them up in a packet (an area light's four corners, or a point
// light with several blockers; with one blocker packets cost 7% more instructions per sample).
bool shadowsInPackets(const TraceContext& ctx, const View& view) {
    const PhotonParams& cfg = ctx.params->photons;
    if (ctx.params->shader != kShaderPhong || (cfg.giDisplay && !cfg.giOnlyIndirect) || !view.packets.shadowsTested)
        return false;
    return isAreaLight(ctx.scene->firstLight()->object) || view.packets.blockerEntries >= 3;
}

// The first light's blocked fraction at the packet's hits, as shadowFactor finds it, with the rays in
// packets: one per point light; the four corners of an area light, then its subdivision's rays level
// by level. Fills shadow[k] for the lanes that need it and sets their bit in the result. `rays`: the
// row's packet, whose lanes without a ray keep finite values the kernels compute and ignore.
unsigned castShadowPackets(const TraceContext& ctx, const View& view, const PacketKernels& kernels, const Vec3& eye,
                           const Vec3* directions, const HitRecord* hits, unsigned hitLanes, ShadowPacket& rays,
                           float* shadow) {
    const CameraPacketFrame& frame = view.packets.frame;
    const Light& light = *ctx.scene->firstLight();
    const bool area = isAreaLight(light.object);
    Vec3 targets[4] = {light.position};
    if (area) areaLightCorners(light.object->patch, targets);
    unsigned lanes = 0;
    float points[3][kMaxPacketLanes], excludes[kMaxPacketLanes];
    for (int k = 0; k < kernels.lanes; ++k) {
        if (!(hitLanes & (1u << k)) || (hits[k].object->flags & kNoShadowTest)) continue;
        const Vec3 p = hitPoint(eye, directions[k], hits[k]);
        points[0][k] = p.x, points[1][k] = p.y, points[2][k] = p.z;
        excludes[k] = static_cast<float>(hits[k].object->index);
        lanes |= 1u << k;
    }
    if (!lanes) return 0;
    // Rays from the points of lanes `from[j]` toward `target[j]` in lanes j < n: bit j set where blocked.
    const auto castRays = [&](int n, const int* from, const Vec3* target) {
        for (int j = 0; j < n; ++j) {
            const int k = from[j];
            for (int a = 0; a < 3; ++a) rays.origin[a][j] = points[a][k], rays.target[a][j] = axisValue(target[j], a);
            rays.exclude[j] = excludes[k];
        }
        const unsigned cast = kernels.shadowRays(rays) & ((2u << (n - 1)) - 1u);  // where they reach anywhere
        ctx.stats->rays += static_cast<uint64_t>(std::popcount(cast));
        return kernels.occlusion(frame, rays, cast);
    };
    int from[kMaxPacketLanes];
    Vec3 to[kMaxPacketLanes];
    float corners[kMaxPacketLanes][4];
    for (int corner = 0; corner < (area ? 4 : 1); ++corner) {
        int n = 0;
        for (int k = 0; k < kernels.lanes; ++k)
            if (lanes & (1u << k)) from[n] = k, to[n] = targets[corner], ++n;
        const unsigned blocked = castRays(n, from, to);
        for (int j = 0; j < n; ++j) corners[from[j]][corner] = (blocked >> j) & 1u ? 1.0f : 0.0f;
    }
    if (!area) {
        for (int k = 0; k < kernels.lanes; ++k) shadow[k] = corners[k][0];
        return lanes;
    }
    areaShadowsByLevel(lanes, corners, shadow, [&](AreaSample* samples, int count) {
        for (int first = 0; first < count; first += kernels.lanes) {
            const int n = std::min(kernels.lanes, count - first);
            for (int j = 0; j < n; ++j) {
                const AreaSample& a = samples[first + j];
                from[j] = a.lane, to[j] = areaLightPoint(*light.object, a.u, a.v);
            }
            const unsigned blocked = castRays(n, from, to);
            for (int j = 0; j < n; ++j) samples[first + j].occlusion = (blocked >> j) & 1u ? 1.0f : 0.0f;
        }
    });
    return lanes;
}

// The record of lane k's winner as the scalar walk leaves it: the packet's own record where the
// kernel kept one, the distance alone for a sphere (its camera test writes nothing else), else the
// shape's own test on a clean record.
HitRecord winnerRecord(const CameraPacketFrame& frame, const PacketHits& out, int k, const Vec3& eye,
                       const Vec3& direction) {
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
    const ShaderFn shader = shaderFunction(ctx.params->shader);
    const Vec3 eye = view.camera.eyePosition;
    const int lanes = kernels.lanes;
    const bool shadows = shadowsInPackets(ctx, view);
    // Phong with direct light: the first light's terms of the packet's hits go together.
    const PhotonParams& cfg = ctx.params->photons;
    const bool phongTerms =
        ctx.params->shader == kShaderPhong && kernels.phong && !(cfg.giDisplay && !cfg.giOnlyIndirect);
    const Vec3 light = ctx.scene->firstLight()->position;
    alignas(64) float x[kMaxPacketLanes];
    PacketHits out;
    HitRecord hits[kMaxPacketLanes];
    Vec3 directions[kMaxPacketLanes];
    float shadow[kMaxPacketLanes];
    PhongPacket phong;
    ShadowPacket rays{};
    TraceContext lane = ctx;
    for (int first = 0; first < count; first += lanes) {
        const int n = std::min(lanes, count - first);
        for (int k = 0; k < lanes; ++k) x[k] = static_cast<float>(columns[first + std::min(k, n - 1)]);
        kernels.camera(frame, y, x, out);
        ctx.stats->samples += static_cast<uint64_t>(n);
        ctx.stats->rays += static_cast<uint64_t>(n);
        // Every hit's record, then the shadow rays and the first light's terms together, then the shading.
        unsigned hitLanes = 0;
        for (int k = 0; k < n; ++k) {
            const int s = out.shape[k];
            if (s < 0 || !(out.distance[k] > 0.0f)) continue;
            directions[k] = {out.direction[0][k], out.direction[1][k], out.direction[2][k]};
            hits[k] = winnerRecord(frame, out, k, eye, directions[k]);
            hitLanes |= 1u << k;
        }
        const unsigned shadowed =
            shadows ? castShadowPackets(ctx, view, kernels, eye, directions, hits, hitLanes, rays, shadow) : 0u;
        if (phongTerms && hitLanes) {
            for (int k = 0; k < n; ++k) {
                if (!(hitLanes & (1u << k))) continue;
                completeHit(eye, directions[k], hits[k]);
                const Vec3 &p = hits[k].position, &normal = hits[k].normal;
                phong.point[0][k] = p.x, phong.point[1][k] = p.y, phong.point[2][k] = p.z;
                phong.normal[0][k] = normal.x, phong.normal[1][k] = normal.y, phong.normal[2][k] = normal.z;
            }
            kernels.phong(eye, light, phong);
        }
        for (int k = 0; k < n; ++k) {
            Vec3 colour{0.0f, 0.0f, 0.0f};
            if (hitLanes & (1u << k)) {
                lane.cameraLightShadow = (shadowed & (1u << k)) ? &shadow[k] : ctx.cameraLightShadow;
                if (phongTerms) {
                    const FirstLightTerms terms{
                        {phong.eyeward[0][k], phong.eyeward[1][k], phong.eyeward[2][k]},
                        {phong.toLight[0][k], phong.toLight[1][k], phong.toLight[2][k]},
                        phong.lightDistance[k], phong.cosine[k], phong.highlight[k]};
                    colour = shadePhongWithTerms(lane, eye, directions[k], hits[k], terms);
                } else {
                    colour = shader(lane, eye, directions[k], hits[k], &airMedium, 0);
                }
            }
            rowPixels[columns[first + k]] = packColour(colour);
        }
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

void renderFrame(Renderer& renderer, const Scene& scene, View& view, const RenderParams& params, FrameBuffer& fb) {
    prepareView(view, scene, fb.width, fb.height);
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
