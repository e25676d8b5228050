// Photon passes on the scenes that offer them: the whole pass, and the quadtree build alone.
#include <benchmark/benchmark.h>

#include "app/settings.h"
#include "core/random.h"
#include "photon/photon_pass.h"
#include "photon/photon_store.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"

namespace lumo {
namespace {

void prepare(int sceneId, int threads) {
    ensureLight();
    if (!world().scene || currentScene().id != sceneId) loadScene(sceneId);
    RenderSettings& s = settings();
    s.sceneId = static_cast<int16_t>(sceneId);
    s.threadCount = static_cast<int16_t>(threads);
    s.causticPhotonCount = 10000;
    s.causticSplitCount = 30;
    s.giPhotonCount = 500000;
    s.giSplitCount = 2500;
    s.giOnlyIndirect = 1;
    s.interpolationKernel = sceneId == 9 ? 6 : 1;
}

void BM_CausticPassEgg(benchmark::State& state) {
    prepare(8, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        seedRandom(12345);
        runCausticPass();
    }
    state.counters["blocks"] = usedPhotonBlocks();
}
BENCHMARK(BM_CausticPassEgg)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GiPassCornellBox(benchmark::State& state) {
    prepare(9, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        seedRandom(12345);
        runGlobalIlluminationPass();
    }
    state.counters["blocks"] = usedPhotonBlocks();
}
BENCHMARK(BM_GiPassCornellBox)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The single-threaded part of a pass: filing the stored photons and the kernel's preparation.
void BM_QuadtreeBuild(benchmark::State& state) {
    const int sceneId = static_cast<int>(state.range(0));
    prepare(sceneId, 1);
    seedRandom(12345);
    if (sceneId == 9) runGlobalIlluminationPass();
    else runCausticPass();
    const int split = sceneId == 9 ? settings().giSplitCount : settings().causticSplitCount;
    for (auto _ : state) buildQuadtrees(split, 1);
}
BENCHMARK(BM_QuadtreeBuild)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumo
