// The automatic tree on generated meshes: build time and memory per triangle, and rays per second of
// whole frames of a mesh scene on a built tree.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>

#include "image/frame.h"
#include "scene/kd_build.h"

namespace lumo {
namespace {

// A unit sphere about (0, 0, 1) whose radius ripples by 5%, cut into rows x 2 rows quads of two
// triangles (one at the poles): about `triangles` triangles, with a ground square below and a point
// light above, as the demo scenes have them.
std::unique_ptr<Scene> meshScene(int triangles) {
    auto scene = std::make_unique<Scene>();
    Scene& s = *scene;
    Material& clay = s.newMaterial("Clay");
    clay.kind = 1;
    clay.phongExponent = 20;
    Material& ground = s.newMaterial("Ground");
    ground.kind = 1;
    ground.diffuse = {0.2f, 0.3f, 0.8f};
    const int rows = std::max(2, static_cast<int>(std::lround(std::sqrt(triangles / 4.0))));
    const int columns = 2 * rows;
    const auto vertex = [&](int i, int j) {
        const double theta = kPi * i / rows, phi = kTwoPi * j / columns;
        const double r = 1.0 + 0.05 * std::sin(8.0 * theta) * std::cos(6.0 * phi);
        return Vec3{static_cast<float>(r * std::sin(theta) * std::cos(phi)),
                    static_cast<float>(r * std::sin(theta) * std::sin(phi)), static_cast<float>(1.0 + r * std::cos(theta))};
    };
    const auto triangle = [&s](const Vec3& a, const Vec3& b, const Vec3& c, const Material& m) {
        SceneObject& o = s.newObject();
        initPlanarPatch(o);
        o.type = kTriangle;
        o.material = &m;
        o.patch.origin = a;
        o.patch.edgeA = sub(b, a);
        o.patch.edgeB = sub(c, a);
        prepareParallelogram(o);
    };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const Vec3 a = vertex(i, j), b = vertex(i + 1, j), c = vertex(i + 1, j + 1), d = vertex(i, j + 1);
            if (i + 1 < rows) triangle(a, b, c, clay);
            if (i > 0) triangle(a, c, d, clay);
        }
    SceneObject& floor = s.newObject();
    initPlanarPatch(floor);
    floor.type = kParallelogram;
    floor.flags = kCheckered | kNoShadowCast;
    floor.material = &ground;
    floor.patch.origin = {-3, -3, -0.05f};
    floor.patch.edgeA = {6, 0, 0};
    floor.patch.edgeB = {0, 6, 0};
    prepareParallelogram(floor);
    s.camera.lookAtPoint = {0, 0, 1};
    s.camera.cameraAzimuth = 1.3f;
    s.camera.cameraElevation = 0.4f;
    s.light.position = {5, -3, 7};
    return scene;
}

// Args: triangles, threads.
void BM_BuildKdTree(benchmark::State& state) {
    const std::unique_ptr<Scene> scene = meshScene(static_cast<int>(state.range(0)));
    KdBuildStats stats;
    const std::clock_t start = std::clock();  // processor time of all threads: the build's work on a busy machine
    for (auto _ : state) stats = buildKdTree(*scene, static_cast<int>(state.range(1)));
    state.counters["build_cpu_s"] =
        static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / static_cast<double>(state.iterations());
    const double triangles = static_cast<double>(scene->objectCount() - 1);
    state.counters["triangles"] = triangles;
    state.counters["build_s"] = stats.seconds;
    state.counters["tree_MB"] = static_cast<double>(stats.bytes) / 1e6;
    state.counters["tree_B_per_tri"] = static_cast<double>(stats.bytes) / triangles;
    state.counters["object_B_per_tri"] = static_cast<double>(sizeof(SceneObject));
    state.counters["refs_per_tri"] = static_cast<double>(stats.references) / triangles;
    state.counters["leaves"] = static_cast<double>(stats.leaves);
    state.counters["depth"] = stats.depth;
}
BENCHMARK(BM_BuildKdTree)
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({1000000, 1})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Whole 640x480 frames of the 1,000,000-triangle scene: "1:1", Phong with shadows, 2 threads.
void BM_MeshFrameRays(benchmark::State& state) {
    const std::unique_ptr<Scene> scene = meshScene(1000000);
    buildKdTree(*scene, 2);
    Renderer renderer;
    View view;
    view.camera = scene->camera;
    RenderParams params;
    params.sampling = kSamplingOneToOne;
    params.shader = kShaderPhong;
    params.threadCount = 2;
    FrameBuffer fb;
    fb.resize(640, 480);
    produceFrame(renderer, *scene, view, params, fb, 0.0, false);  // first touch of the tree and mailboxes
    resetRayStats(renderer);
    const std::clock_t start = std::clock();
    for (auto _ : state) produceFrame(renderer, *scene, view, params, fb, 0.0, false);
    const double cpuSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const RayStats rays = totalRayStats(renderer);
    // Rays per second of processor time per thread: what each of two idle cores would give.
    state.counters["rays_per_cpu_s"] = static_cast<double>(rays.rays) / cpuSeconds;
    state.counters["rays"] = benchmark::Counter(static_cast<double>(rays.rays), benchmark::Counter::kIsRate);
    state.counters["rays_per_frame"] =
        static_cast<double>(rays.rays) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}
BENCHMARK(BM_MeshFrameRays)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace lumo
