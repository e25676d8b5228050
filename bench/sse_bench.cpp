// Camera rays of whole pictures on the portable path and on the SSE path (useAsm 0 / 1), per scene.
#include <benchmark/benchmark.h>

#include "support/render_support.h"
#include "image/frame.h"

namespace lumo {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Args: scene id, useAsm. One iteration traces every pixel of a kWidth x kHeight picture.
void BM_CameraPicture(benchmark::State& state) {
    test::TestRender r(static_cast<int>(state.range(0)));
    r.params.useSimd = state.range(1) != 0;
    r.orbitEye(kWidth, kHeight);
    const TraceContext ctx = r.context();
    PrimaryRay& ray = r.cameraRay();
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 1; x <= kWidth; ++x)
                benchmark::DoNotOptimize(traceSample(ctx, r.view, ray, static_cast<float>(y), static_cast<float>(x)));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_CameraPicture)->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumo
