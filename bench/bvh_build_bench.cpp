// The BVH build on a generated closed mesh: build time and the tree's expected cost of a ray
// (surface-area heuristic), a measure of its quality that does not depend on the machine's load.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>

#include "scene/bvh.h"
#include "scene/scene.h"

namespace lumo {
namespace {

// A unit sphere whose radius ripples by 5%, rows x 2 rows quads of two triangles (one at the poles),
// in the scene's mesh storage: about `triangles` triangles.
std::unique_ptr<Scene> rippleMesh(int triangles) {
    auto scene = std::make_unique<Scene>();
    Scene& s = *scene;
    Material& clay = s.newMaterial("Clay");
    SceneObject& part = s.newMeshPart(&clay, 0);
    MeshStore& m = s.meshes;
    const int rows = std::max(2, static_cast<int>(std::lround(std::sqrt(triangles / 4.0))));
    const int columns = 2 * rows;
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double theta = kPi * i / rows, phi = kTwoPi * j / columns;
            const double r = 1.0 + 0.05 * std::sin(8.0 * theta) * std::cos(6.0 * phi);
            m.positions.push_back({static_cast<float>(r * std::sin(theta) * std::cos(phi)),
                                   static_cast<float>(r * std::sin(theta) * std::sin(phi)),
                                   static_cast<float>(r * std::cos(theta))});
        }
    const auto at = [columns](int i, int j) { return static_cast<uint32_t>(i * columns + j % columns); };
    const auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        m.corners.insert(m.corners.end(), {a, b, c});
        m.parts.push_back(static_cast<uint16_t>(part.faces.part));
        ++part.faces.triangleCount;
    };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            if (i + 1 < rows) triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            if (i > 0) triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    return scene;
}

float halfArea(const BvhNode& n, int k) {
    const float x = n.hi[0][k] - n.lo[0][k], y = n.hi[1][k] - n.lo[1][k], z = n.hi[2][k] - n.lo[2][k];
    return x * y + y * z + z * x;
}

// Expected box tests (one per wide node) plus primitive tests of a ray through the scene's box,
// by the surface-area heuristic.
double sahCost(const Bvh& bvh) {
    double cost = 0.0;
    for (const BvhNode& n : bvh.nodes) {
        for (int k = 0; k < kBvhWidth; ++k) {
            if (!(n.lo[0][k] <= n.hi[0][k])) continue;
            const double area = halfArea(n, k);
            cost += area * (n.count[k] ? static_cast<double>(n.count[k] & ~kBvhObjectLeaf) : 1.0);
        }
    }
    // The root's box: the union of its children.
    const BvhNode& r = bvh.nodes[0];
    float lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = std::numeric_limits<float>::infinity(), hi[a] = -lo[a];
        for (int k = 0; k < kBvhWidth; ++k) lo[a] = std::min(lo[a], r.lo[a][k]), hi[a] = std::max(hi[a], r.hi[a][k]);
    }
    const double x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
    const double root = x * y + y * z + z * x;
    return 1.0 + cost / root;
}

// Args: triangles, threads.
void BM_BuildBvh(benchmark::State& state) {
    const std::unique_ptr<Scene> scene = rippleMesh(static_cast<int>(state.range(0)));
    const std::vector<uint32_t> corners = scene->meshes.corners;
    BvhBuildStats stats;
    double wall = 0.0;
    const std::clock_t start = std::clock();  // processor time of all threads: the build's work on a busy machine
    for (auto _ : state) {
        state.PauseTiming();
        scene->meshes.corners = corners;  // the same input order every time
        state.ResumeTiming();
        stats = buildBvh(*scene, static_cast<int>(state.range(1)));
        wall += stats.seconds;
    }
    const double runs = static_cast<double>(state.iterations());
    const double triangles = static_cast<double>(scene->meshes.triangleCount());
    state.counters["build_cpu_s"] = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / runs;
    state.counters["build_s"] = wall / runs;
    state.counters["triangles"] = triangles;
    state.counters["tree_B_per_tri"] = static_cast<double>(scene->bvh.bytes()) / triangles;
    state.counters["sah_cost"] = sahCost(scene->bvh);
}
BENCHMARK(BM_BuildBvh)
    ->Args({70000, 1})
    ->Args({1000000, 1})
    ->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace lumo
