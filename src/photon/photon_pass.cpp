#include "photon/photon_pass.h"

#include <cstdint>
#include <vector>

#include "photon/caustic_grid.h"
#include "photon/photon_hits.h"
#include "simd/sse_path.h"

namespace lumo {

namespace {

// A GI worker stops emitting after this many photons per requested stored photon, so a scene whose
// photons all escape cannot keep it busy for ever. A Cornell Box photon stores about 1.5 hits.
constexpr int64_t kGiEmissionCapFactor = 64;

void startPhotonPass(PhotonBlockTable& table, const PhotonPassSetup& setup) {
    const int threadCount = setup.params.threadCount;
    std::vector<PhotonBuffer*> buffers;
    for (PhotonWorker& w : setup.workers) {
        w.buffer.block = nullptr;
        buffers.push_back(&w.buffer);
    }
    resetPhotonStore(table, buffers.data(), static_cast<int>(buffers.size()));
    // One thread follows the frame's generator; several draw from generators of their own, seeded
    // from it so that each frame repeats its photons.
    int k = 0;
    for (PhotonWorker& w : setup.workers) {
        if (threadCount == 1) {
            w.buffer.rng = &setup.frameRandom;
        } else {
            w.buffer.rng = &w.rng;
            if (k < threadCount) w.rng.seed(static_cast<uint32_t>(setup.frameRandom.next() * 4294967296.0));
        }
        ++k;
    }
}

// A worker's trace context for photons: the scene, the parameters, its buffer and counts.
TraceContext photonContext(const Scene& scene, const PhotonPassSetup& setup, PhotonWorker& w) {
    TraceContext ctx;
    ctx.scene = &scene;
    ctx.params = &setup.params;
    ctx.stats = &w.stats;
    ctx.photons = &w.buffer;
    ctx.sse = setup.params.useSimd && sseUsable();
    return ctx;
}

struct CausticJob {
    const Scene& scene;
    const PhotonPassSetup& setup;
    CausticFrame frame;
    Vec3 lightPosition;
    float intensity;
    int threadCount;
};

void causticWorker(int k, void* context) {
    const CausticJob& job = *static_cast<const CausticJob*>(context);
    PhotonWorker& worker = job.setup.workers[static_cast<size_t>(k)];
    const TraceContext ctx = photonContext(job.scene, job.setup, worker);
    worker.buffer.wavelength = 555.0f;
    const CausticFrame& f = job.frame;
    forEachCausticOffset(causticGridRange(job.threadCount, k), f.step, [&](float a, float b) {
        const Vec3 d = normalize(add(f.axis, add(scale(a, f.sideV), scale(b, f.sideU))));
        traceRay(ctx, nullptr, &airMedium, job.lightPosition, d, job.intensity, causticPhotonHit, 0);
    });
}

struct GiJob {
    const Scene& scene;
    const PhotonPassSetup& setup;
    const std::atomic<int32_t>& blocks;
    const SceneObject* emitter;
    float intensity;
    int64_t photonTarget;
    int64_t emissionCap;
};

void giWorker(int k, void* context) {
    const GiJob& job = *static_cast<const GiJob*>(context);
    PhotonWorker& worker = job.setup.workers[static_cast<size_t>(k)];
    const TraceContext ctx = photonContext(job.scene, job.setup, worker);
    PhotonBuffer* buffer = &worker.buffer;
    Random& rng = *buffer->rng;
    const std::atomic<int32_t>& blocks = job.blocks;
    for (int64_t emitted = 0; emitted < job.emissionCap; ++emitted) {
        if (static_cast<int64_t>(blocks.load(std::memory_order_relaxed)) * kPhotonsPerBlock >= job.photonTarget) break;
        buffer->wavelength = static_cast<float>(380.0 + 400.0 * rng.next());
        const Vec3 p = sampleSurfacePoint(*job.emitter, rng);
        const Vec3 n = surfaceNormalAt(*job.emitter, p);
        const Vec3 d = cosineDirection(rng, n);
        traceRay(ctx, job.emitter, &airMedium, p, d, job.intensity, giPhotonHit, 0);
    }
}

}  // namespace

PhotonMaps& photonMapsOf(Scene& scene) {
    if (!scene.photonMaps) scene.photonMaps = std::make_shared<PhotonMaps>();
    return *scene.photonMaps;
}

void buildQuadtrees(Scene& scene, int splitCount, int kernel, std::span<const PhotonWorker> workers) {
    PhotonMaps& maps = photonMapsOf(scene);
    resetNodePools(maps.nodes);
    resetQuadtrees(scene, maps.roots);

    // Photons are grouped by the tree they go to, in storage order (block by block), then each group
    // is filed at once. One pass counts, the next fills an array of exactly that size: at 2,000,000
    // photons the array is 48 MB, so it must not grow by doubling. It keeps its capacity, so
    // steady-state passes allocate nothing.
    std::vector<PhotonQuadNode*>& trees = maps.trees;
    std::vector<size_t>& groupEnd = maps.groupEnd;
    std::vector<PhotonRef>& refs = maps.refs;
    trees.clear();
    groupEnd.clear();

    PhotonBlockTable& table = maps.blocks;
    const int blocks = usedPhotonBlocks(table);
    auto photonsIn = [&](int m) {
        uint32_t n = kPhotonsPerBlock;
        for (const PhotonWorker& w : workers) {
            const PhotonBuffer& b = w.buffer;
            if (b.block == table.blocks[m] && b.count < n) n = b.count;  // a worker's last, partly filled block
        }
        return n;
    };
    // Group of each photon's object, -1 for objects without a quadtree (the free object, non-parallelograms).
    const SceneObject* lastObject = nullptr;
    int lastGroup = -1;
    auto groupOf = [&](const Photon& p) {
        if (p.object == lastObject) return lastGroup;
        lastObject = p.object;
        lastGroup = -1;
        PhotonQuadNode* tree = p.object->type == kParallelogram ? p.object->patch.photonTree : nullptr;
        if (!tree) return lastGroup;
        size_t g = 0;
        while (g < trees.size() && trees[g] != tree) ++g;
        if (g == trees.size()) {
            trees.push_back(tree);
            groupEnd.push_back(0);
        }
        lastGroup = static_cast<int>(g);
        return lastGroup;
    };

    for (int m = 0; m < blocks; ++m) {
        const uint32_t n = photonsIn(m);
        for (uint32_t i = 0; i < n; ++i) {
            const int g = groupOf(table.blocks[m][i]);
            if (g >= 0) ++groupEnd[static_cast<size_t>(g)];
        }
    }
    size_t total = 0;
    for (size_t& end : groupEnd) {
        const size_t count = end;
        end = total;  // fill position while filling; the group's end afterwards
        total += count;
    }
    refs.resize(total);
    for (int m = 0; m < blocks; ++m) {
        const uint32_t n = photonsIn(m);
        for (uint32_t i = 0; i < n; ++i) {
            Photon& p = table.blocks[m][i];
            const int g = groupOf(p);
            if (g >= 0) refs[groupEnd[static_cast<size_t>(g)]++] = PhotonRef{p.u, p.v, p.power, p.wavelength, &p};
        }
    }
    size_t begin = 0;
    for (size_t g = 0; g < trees.size(); ++g) {
        fileBatch(maps.nodes, trees[g], 0.0f, 0.0f, 1.0f, refs.data() + begin, groupEnd[g] - begin, splitCount);
        begin = groupEnd[g];
    }

    if (kernel >= 4 && kernel <= 6) precomputePatches(scene.root, kernel);
}

void runCausticPass(Scene& scene, const PhotonPassSetup& setup) {
    const PhotonParams& st = setup.params.photons;
    const Light* light = scene.firstLight();
    const int threads = setup.params.threadCount;
    startPhotonPass(photonMapsOf(scene).blocks, setup);
    CausticJob job{scene, setup, makeCausticFrame(light->position, st.causticPhotonCount), light->position,
                   light->intensity, threads};
    runWorkers(causticWorker, &job, threads, setup.wait);
    buildQuadtrees(scene, st.causticSplitCount, st.interpolationKernel, setup.workers);
}

void runGlobalIlluminationPass(Scene& scene, const PhotonPassSetup& setup) {
    const PhotonParams& st = setup.params.photons;
    const Light* light = scene.firstLight();
    const int threads = setup.params.threadCount;
    PhotonMaps& maps = photonMapsOf(scene);
    startPhotonPass(maps.blocks, setup);
    if (light->object) {  // photons leave the light's geometry; a point light emits none
        const int64_t target = st.giPhotonCount;
        GiJob job{scene, setup, maps.blocks.blockCount, light->object, light->intensity, target,
                  kGiEmissionCapFactor * target};
        runWorkers(giWorker, &job, threads, setup.wait);
    }
    buildQuadtrees(scene, st.giSplitCount, st.interpolationKernel, setup.workers);
}

}  // namespace lumo
