#include "photon/photon_pass.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/pass_sequence.h"
#include "photon/caustic_grid.h"
#include "photon/photon_hits.h"

namespace lumo {

namespace {

// A GI pass stops emitting after this many photons per requested stored photon, so a scene whose
// photons all escape cannot keep it busy for ever. A Cornell Box photon stores about 1.5 hits.
constexpr int64_t kGiEmissionCapFactor = 64;
// Photons a GI work block emits, and caustic grid rows per work block.
constexpr int64_t kGiEmissionsPerBlock = 1024;
constexpr int kCausticRowsPerBlock = 8;
constexpr int kMaxPhotonThreads = 64;

// The pass's thread count: params.threadCount within 1..64 and the workers at hand.
int photonThreads(const PhotonPassSetup& setup) {
    const int n = std::clamp(setup.params.threadCount, 1, kMaxPhotonThreads);
    return std::min(n, static_cast<int>(setup.workers.size()));
}

// A worker's trace context for photons: the scene, the parameters, its buffer and counts.
TraceContext photonContext(const Scene& scene, const PhotonPassSetup& setup, PhotonWorker& w) {
    w.buffer.rng = &w.rng;
    TraceContext ctx;
    ctx.scene = &scene;
    ctx.params = &setup.params;
    ctx.stats = &w.stats;
    ctx.photons = &w.buffer;
    ctx.leafShapes = setup.leafShapes;
    ctx.scalarBoxes = resolveIsa(setup.params.isa, processorIsa()) == kIsaScalar;
    chooseTreeWalks(ctx);
    return ctx;
}

// Seed of GI block k: the pass seed and k mixed (64-bit finaliser), so blocks draw unrelated sequences.
uint32_t blockSeed(uint32_t passSeed, int k) {
    uint64_t x = (static_cast<uint64_t>(passSeed) << 32) | static_cast<uint32_t>(k);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return static_cast<uint32_t>(x);
}

// Runs blocks as the order hands them out. When storing a photon fails (out of memory), the pass is
// abandoned, so the other workers stop too and the failure reaches the caller.
template <class RunBlock>
void runBlocks(PhotonBlockOrder& order, RunBlock&& runBlock) {
    try {
        for (int block = order.take(); block >= 0; block = order.take()) runBlock(block);
    } catch (...) {
        order.abandon();
        throw;
    }
}

struct CausticJob {
    const Scene& scene;
    const PhotonPassSetup& setup;
    PhotonBlockOrder& order;
    const std::vector<float>& rows;
    CausticFrame frame;
    Vec3 lightPosition;
    float intensity;
    bool shifted;       // a refinement pass: the whole grid moves by `shift`
    PassOffset shift;   // added to a (row) and b (column)
};

void causticWorker(int k, void* context) {
    CausticJob& job = *static_cast<CausticJob*>(context);
    PhotonWorker& worker = job.setup.workers[static_cast<size_t>(k)];
    const TraceContext ctx = photonContext(job.scene, job.setup, worker);
    worker.buffer.wavelength = 555.0f;
    const CausticFrame& f = job.frame;
    runBlocks(job.order, [&](int block) {
        job.order.start(block, worker.buffer);
        const size_t first = static_cast<size_t>(block) * kCausticRowsPerBlock;
        const size_t last = std::min(first + kCausticRowsPerBlock, job.rows.size());
        for (size_t r = first; r < last; ++r) {
            const float a = job.shifted ? job.rows[r] + job.shift.row : job.rows[r];
            forEachCausticColumn(f.step, [&](float column) {
                const float b = job.shifted ? column + job.shift.column : column;
                const Vec3 d = normalize(add(f.axis, add(scale(a, f.sideV), scale(b, f.sideU))));
                traceRay(ctx, nullptr, &airMedium, job.lightPosition, d, job.intensity, causticPhotonHit, 0);
            });
        }
        job.order.finish(block);
    });
}

struct GiJob {
    const Scene& scene;
    const PhotonPassSetup& setup;
    PhotonBlockOrder& order;
    const SceneObject* emitter;
    float intensity;
    uint32_t passSeed;
    int64_t emissionCap;
};

void giWorker(int k, void* context) {
    GiJob& job = *static_cast<GiJob*>(context);
    PhotonWorker& worker = job.setup.workers[static_cast<size_t>(k)];
    const TraceContext ctx = photonContext(job.scene, job.setup, worker);
    PhotonBuffer& buffer = worker.buffer;
    Random& rng = worker.rng;
    runBlocks(job.order, [&](int block) {
        job.order.start(block, buffer);
        rng.seed(blockSeed(job.passSeed, block));
        const int64_t first = block * kGiEmissionsPerBlock;
        const int64_t count = std::min(kGiEmissionsPerBlock, job.emissionCap - first);
        for (int64_t i = 0; i < count; ++i) {
            buffer.wavelength = static_cast<float>(380.0 + 400.0 * rng.next());
            const Vec3 p = sampleSurfacePoint(*job.emitter, rng);
            const Vec3 n = surfaceNormalAt(*job.emitter, p);
            const Vec3 d = cosineDirection(rng, n);
            traceRay(ctx, job.emitter, &airMedium, p, d, job.intensity, giPhotonHit, 0);
        }
        job.order.finish(block);
    });
}

}  // namespace

PhotonMaps& photonMapsOf(Scene& scene) {
    if (!scene.photonMaps) scene.photonMaps = std::make_shared<PhotonMaps>();
    return *scene.photonMaps;
}

void buildQuadtrees(Scene& scene, int splitCount, int kernel) {
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

    const PhotonStore& store = maps.store;
    auto forEachPhoton = [&](auto&& fn) {
        for (int m = 0; m < store.keptBlocks; ++m) {
            const PhotonBlock& block = store.blocks[static_cast<size_t>(m)];
            for (uint32_t c = 0, i = 0; i < block.kept; ++c) {
                Photon* chunk = block.chunks[c].get();
                const uint32_t n = std::min<uint32_t>(kPhotonsPerChunk, block.kept - i);
                for (uint32_t j = 0; j < n; ++j) fn(chunk[j]);
                i += n;
            }
        }
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

    forEachPhoton([&](const Photon& p) {
        const int g = groupOf(p);
        if (g >= 0) ++groupEnd[static_cast<size_t>(g)];
    });
    size_t total = 0;
    for (size_t& end : groupEnd) {
        const size_t count = end;
        end = total;  // fill position while filling; the group's end afterwards
        total += count;
    }
    refs.resize(total);
    forEachPhoton([&](Photon& p) {
        const int g = groupOf(p);
        if (g >= 0) refs[groupEnd[static_cast<size_t>(g)]++] = PhotonRef{p.u, p.v, p.power, p.wavelength, &p};
    });
    size_t begin = 0;
    for (size_t g = 0; g < trees.size(); ++g) {
        fileBatch(maps.nodes, trees[g], 0.0f, 0.0f, 1.0f, refs.data() + begin, groupEnd[g] - begin, splitCount);
        begin = groupEnd[g];
    }

    if (kernel >= 4 && kernel <= 6) precomputePatches(scene, kernel);
}

void runCausticPass(Scene& scene, const PhotonPassSetup& setup) {
    const PhotonParams& st = setup.params.photons;
    const Light* light = scene.firstLight();
    PhotonMaps& maps = photonMapsOf(scene);
    const CausticFrame frame = makeCausticFrame(light->position, st.causticPhotonCount);
    causticGridRows(frame.step, maps.causticRows);
    const int blocks = static_cast<int>((maps.causticRows.size() + kCausticRowsPerBlock - 1) / kCausticRowsPerBlock);
    PhotonBlockOrder order(maps.store, blocks, kPhotonStoreLimit);
    // Later refinement passes move the grid by a fraction of a step, so their photons fill the gaps
    // between the plain frame's.
    const int pass = setup.params.pass;
    const PassOffset grid = causticGridOffset(pass);
    const PassOffset shift{grid.row * frame.step, grid.column * frame.step};
    CausticJob job{scene, setup, order, maps.causticRows, frame, light->position, light->intensity, pass > 1, shift};
    runWorkers(causticWorker, &job, photonThreads(setup), setup.wait);
    order.close();
    buildQuadtrees(scene, st.causticSplitCount, st.interpolationKernel);
}

void runGlobalIlluminationPass(Scene& scene, const PhotonPassSetup& setup) {
    const PhotonParams& st = setup.params.photons;
    const Light* light = scene.firstLight();
    PhotonMaps& maps = photonMapsOf(scene);
    const int64_t target = st.giPhotonCount;
    const int64_t cap = kGiEmissionCapFactor * target;
    // Photons leave the light's geometry; a point light emits none.
    const int blocks = light->object && target > 0
                           ? static_cast<int>((cap + kGiEmissionsPerBlock - 1) / kGiEmissionsPerBlock)
                           : 0;
    PhotonBlockOrder order(maps.store, blocks, target);
    if (blocks > 0) {
        const auto passSeed = static_cast<uint32_t>(setup.frameRandom.next() * 4294967296.0);
        GiJob job{scene, setup, order, light->object, light->intensity, passSeed, cap};
        runWorkers(giWorker, &job, photonThreads(setup), setup.wait);
    }
    order.close();
    buildQuadtrees(scene, st.giSplitCount, st.interpolationKernel);
}

}  // namespace lumo
