// Micro benchmarks of the image pipeline: packed-pixel arithmetic and single camera samples.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "support/render_support.h"
#include "image/frame.h"
#include "image/packed_pixel.h"

namespace lumo {
namespace {

std::vector<uint32_t> randomPixels(size_t n) {
    std::mt19937 gen(1);
    std::vector<uint32_t> v(n);
    for (uint32_t& p : v) p = gen() & 0xFFFFFFu;
    return v;
}

void BM_Average4(benchmark::State& state) {
    const auto p = randomPixels(4096);
    for (auto _ : state) {
        uint32_t acc = 0;
        for (size_t i = 0; i + 3 < p.size(); ++i) acc ^= average4(p[i], p[i + 1], p[i + 2], p[i + 3]);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * 4093);
}
BENCHMARK(BM_Average4);

void BM_BlockDifference(benchmark::State& state) {
    const auto p = randomPixels(4096);
    for (auto _ : state) {
        int acc = 0;
        for (size_t i = 0; i + 3 < p.size(); ++i) acc += blockDifference(p[i], p[i + 1], p[i + 2], p[i + 3]);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * 4093);
}
BENCHMARK(BM_BlockDifference);

void BM_PackColour(benchmark::State& state) {
    std::vector<Vec3> colours(4096);
    std::mt19937 gen(2);
    std::uniform_real_distribution<float> u(-0.2f, 1.2f);
    for (Vec3& c : colours) c = vec3(u(gen), u(gen), u(gen));
    for (auto _ : state) {
        uint32_t acc = 0;
        for (const Vec3& c : colours) acc ^= packColour(c);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_PackColour);

// One camera sample per pixel of a 640x480 Mirrorsphere picture, as "1:1" traces them.
void BM_TraceSampleMirrorsphere(benchmark::State& state) {
    test::TestRender r(1);
    r.orbitEye(640, 480);
    const TraceContext ctx = r.context();
    PrimaryRay& ray = r.cameraRay();
    int y = 0, x = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(traceSample(ctx, r.view, ray, static_cast<float>(y), static_cast<float>(x)));
        if (++x > 640) {
            x = 1;
            if (++y == 480) y = 0;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TraceSampleMirrorsphere);

}  // namespace
}  // namespace lumo
