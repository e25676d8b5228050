// Camera rays of whole pictures on the portable path and on the SSE path (useAsm 0 / 1), per scene.
#include <benchmark/benchmark.h>

#include "app/settings.h"
#include "image/frame.h"
#include "scene/demo_scenes.h"
#include "scene/world.h"
#include "trace/trace.h"

namespace lumo {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Args: scene id, useAsm. One iteration traces every pixel of a kWidth x kHeight picture.
void BM_CameraPicture(benchmark::State& state) {
    ensureLight();
    loadScene(static_cast<int>(state.range(0)));
    placeEyeOnOrbit();
    settings().useAsm = static_cast<int16_t>(state.range(1));
    prepareCameraFrame();
    rayFrame() = computeRayFrame(camera(), kWidth, kHeight);
    WorkerSlot& slot = workerSlot(0);
    slot.ray.rayId = 0;
    rayStats = &slot.stats;
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 1; x <= kWidth; ++x)
                benchmark::DoNotOptimize(traceSample(slot, static_cast<float>(y), static_cast<float>(x)));
    }
    settings().useAsm = 0;
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_CameraPicture)->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumo
