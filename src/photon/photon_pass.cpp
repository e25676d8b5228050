#include "photon/photon_pass.h"

#include <cstdint>
#include <vector>

#include "app/settings.h"
#include "app/workers.h"
#include "image/frame.h"
#include "photon/caustic_grid.h"
#include "photon/photon_hits.h"
#include "photon/photon_store.h"
#include "photon/quadtree.h"
#include "scene/world.h"
#include "trace/trace.h"

namespace lumo {

namespace {

// A GI worker stops emitting after this many photons per requested stored photon, so a scene whose
// photons all escape cannot keep it busy for ever. A Cornell Box photon stores about 1.5 hits.
constexpr int64_t kGiEmissionCapFactor = 64;

PhotonBuffer* bufferOf(int k) { return &workerSlot(k).photons; }

void startPhotonPass(int threadCount) {
    PhotonBuffer* buffers[kMaxWorkers];
    for (int k = 0; k < kMaxWorkers; ++k) {
        buffers[k] = bufferOf(k);
        buffers[k]->block = nullptr;
    }
    resetPhotonStore(buffers, kMaxWorkers);
    // One thread follows the program's generator; several draw from generators of their own, seeded
    // from it so that each frame repeats its photons.
    for (int k = 0; k < kMaxWorkers; ++k) {
        WorkerSlot& slot = workerSlot(k);
        if (threadCount == 1) {
            slot.photons.rng = &globalRandom();
        } else {
            slot.photons.rng = &slot.rng;
            if (k < threadCount) slot.rng.seed(static_cast<uint32_t>(globalRandom().next() * 4294967296.0));
        }
    }
}

struct CausticJob {
    CausticFrame frame;
    Vec3 lightPosition;
    float intensity;
    int threadCount;
};

void causticWorker(int k, void* context) {
    const CausticJob& job = *static_cast<const CausticJob*>(context);
    PhotonBuffer* buffer = bufferOf(k);
    buffer->wavelength = 555.0f;
    const CausticFrame& f = job.frame;
    forEachCausticOffset(causticGridRange(job.threadCount, k), f.step, [&](float a, float b) {
        const Vec3 d = normalize(add(f.axis, add(scale(a, f.sideV), scale(b, f.sideU))));
        traceRay(buffer, nullptr, &airMedium, job.lightPosition, d, job.intensity, causticPhotonHit, 0);
    });
}

struct GiJob {
    const SceneObject* emitter;
    float intensity;
    int64_t photonTarget;
    int64_t emissionCap;
};

void giWorker(int k, void* context) {
    const GiJob& job = *static_cast<const GiJob*>(context);
    PhotonBuffer* buffer = bufferOf(k);
    Random& rng = *buffer->rng;
    const std::atomic<int32_t>& blocks = photonBlockTable().blockCount;
    for (int64_t emitted = 0; emitted < job.emissionCap; ++emitted) {
        if (static_cast<int64_t>(blocks.load(std::memory_order_relaxed)) * kPhotonsPerBlock >= job.photonTarget) break;
        buffer->wavelength = static_cast<float>(380.0 + 400.0 * rng.next());
        const Vec3 p = sampleSurfacePoint(*job.emitter, rng);
        const Vec3 n = surfaceNormalAt(*job.emitter, p);
        const Vec3 d = cosineDirection(rng, n);
        traceRay(buffer, job.emitter, &airMedium, p, d, job.intensity, giPhotonHit, 0);
    }
}

}  // namespace

void buildQuadtrees(int splitCount, int threadCount) {
    resetNodePools();
    if (world().scene) resetQuadtrees(currentScene());

    // Photons are grouped by the tree they go to, in storage order (block by block), then each group
    // is filed at once. One pass counts, the next fills an array of exactly that size: at 2,000,000
    // photons the array is 48 MB, so it must not grow by doubling. It keeps its capacity, so
    // steady-state passes allocate nothing.
    static std::vector<PhotonQuadNode*> trees;
    static std::vector<size_t> groupEnd;
    static std::vector<PhotonRef> refs;
    trees.clear();
    groupEnd.clear();

    PhotonBlockTable& table = photonBlockTable();
    const int blocks = usedPhotonBlocks();
    auto photonsIn = [&](int m) {
        uint32_t n = kPhotonsPerBlock;
        for (int k = 0; k < threadCount && k < kMaxWorkers; ++k) {
            const PhotonBuffer* b = bufferOf(k);
            if (b->block == table.blocks[m] && b->count < n) n = b->count;  // a worker's last, partly filled block
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
        fileBatch(trees[g], 0.0f, 0.0f, 1.0f, refs.data() + begin, groupEnd[g] - begin, splitCount);
        begin = groupEnd[g];
    }

    const int kernel = settings().interpolationKernel;
    if (kernel >= 4 && kernel <= 6 && world().scene) precomputePatches(currentScene().root, kernel);
}

void runCausticPass() {
    const RenderSettings& st = settings();
    const Light* light = firstLight();
    const int threads = st.threadCount;
    CausticFrame& frame = causticFrame();
    frame = makeCausticFrame(light->position, st.causticPhotonCount);
    startPhotonPass(threads);
    CausticJob job{frame, light->position, light->intensity, threads};
    runWorkers(causticWorker, &job, threads);
    buildQuadtrees(st.causticSplitCount, threads);
}

void runGlobalIlluminationPass() {
    const RenderSettings& st = settings();
    const Light* light = firstLight();
    const int threads = st.threadCount;
    startPhotonPass(threads);
    if (light && light->object) {  // photons leave the light's geometry; a point light emits none
        const int64_t target = st.giPhotonCount;
        GiJob job{light->object, light->intensity, target, kGiEmissionCapFactor * target};
        runWorkers(giWorker, &job, threads);
    }
    buildQuadtrees(st.giSplitCount, threads);
}

}  // namespace lumo
