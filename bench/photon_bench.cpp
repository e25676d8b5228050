// Photon passes on the scenes that offer them: the whole pass, and the quadtree build alone.
#include <benchmark/benchmark.h>

#include "support/render_support.h"
#include "photon/photon_pass.h"
#include "photon/photon_store.h"

namespace lumo {
namespace {

// Scene id on `threads` workers with the menu's default photon counts and the scene's kernel.
struct PhotonBench : test::TestRender {
    PhotonBench(int sceneId, int threads) : TestRender(sceneId) {
        params.threadCount = threads;
        params.photons.interpolationKernel = scene->descriptor.interpolationKernel;
        renderer.ensureWorkers(threads);
    }
    PhotonPassSetup setup() { return {params, renderer.frameRandom, renderer.photonWorkers, renderer.wait}; }
    double keptPhotonCount() { return static_cast<double>(keptPhotons(photonMapsOf(*scene).store)); }
};

void BM_CausticPassEgg(benchmark::State& state) {
    PhotonBench b(8, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        b.renderer.frameRandom.seed(12345);
        runCausticPass(*b.scene, b.setup());
    }
    state.counters["photons"] = b.keptPhotonCount();
}
BENCHMARK(BM_CausticPassEgg)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GiPassCornellBox(benchmark::State& state) {
    PhotonBench b(9, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        b.renderer.frameRandom.seed(12345);
        runGlobalIlluminationPass(*b.scene, b.setup());
    }
    state.counters["photons"] = b.keptPhotonCount();
}
BENCHMARK(BM_GiPassCornellBox)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The single-threaded part of a pass: filing the stored photons and the kernel's preparation.
void BM_QuadtreeBuild(benchmark::State& state) {
    const int sceneId = static_cast<int>(state.range(0));
    PhotonBench b(sceneId, 1);
    b.renderer.frameRandom.seed(12345);
    if (sceneId == 9) runGlobalIlluminationPass(*b.scene, b.setup());
    else runCausticPass(*b.scene, b.setup());
    const PhotonParams& p = b.params.photons;
    const int split = sceneId == 9 ? p.giSplitCount : p.causticSplitCount;
    for (auto _ : state) buildQuadtrees(*b.scene, split, p.interpolationKernel);
}
BENCHMARK(BM_QuadtreeBuild)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumo
