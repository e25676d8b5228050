#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

#include "core/workers.h"
#include "scene/kd_build.h"
#include "scene/scene.h"

namespace lumo {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr uint32_t kObjectRef = 0x80000000u;  // in PrimRef::id: an object index, else a triangle
constexpr int kBins = 16;
constexpr uint32_t kMaxLeaf = 4;
constexpr float kNodeCost = 1.0f;  // a wide node's box test against one primitive's test
constexpr uint32_t kTaskSize = 4096;  // subtrees this small are built as tasks, on any thread
constexpr float kScenePad = 1e-3f;

// Boxes grow four floats at a time; the fourth is not part of the box.
struct Box3 {
    alignas(16) float lo[4] = {kInf, kInf, kInf, kInf};
    alignas(16) float hi[4] = {-kInf, -kInf, -kInf, -kInf};
    void grow(const float* l, const float* h) {  // l and h: four readable floats each
        _mm_store_ps(lo, _mm_min_ps(_mm_load_ps(lo), _mm_loadu_ps(l)));
        _mm_store_ps(hi, _mm_max_ps(_mm_load_ps(hi), _mm_loadu_ps(h)));
    }
    void grow(const Box3& b) { grow(b.lo, b.hi); }
    float halfArea() const {
        if (!(lo[0] <= hi[0])) return 0.0f;
        const float x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
        return x * y + y * z + z * x;
    }
};

struct alignas(16) PrimRef {
    float lo[3];
    uint32_t id;
    float hi[3];
    float unused;
    float centre(int a) const { return lo[a] + hi[a]; }  // twice the centre: only order matters
};

// A run of the primitive array with its box and the box of its centres.
struct Range {
    uint32_t begin = 0, end = 0;
    Box3 box, centres;
    uint32_t objects = 0;  // primitives that are objects, not triangles
    uint32_t count() const { return end - begin; }
    bool mixed() const { return objects > 0 && objects < count(); }
};

Range measure(const PrimRef* prims, uint32_t begin, uint32_t end) {
    Range r;
    r.begin = begin, r.end = end;
    for (uint32_t i = begin; i < end; ++i) {
        const PrimRef& p = prims[i];
        r.box.grow(p.lo, p.hi);
        const float c[3] = {p.centre(0), p.centre(1), p.centre(2)};
        const float c4[4] = {c[0], c[1], c[2], 0.0f};
        r.centres.grow(c4, c4);
        r.objects += (p.id & kObjectRef) ? 1u : 0u;
    }
    return r;
}

// The primitives of a range sorted into kBins bins along each axis by their centres: boxes, boxes of
// the centres and counts. Bins of parts of a range add up exactly, in any order.
struct Bins {
    int bins = kBins;  // in use, from the first
    Box3 box[3][kBins];
    uint32_t count[3][kBins], objects[3][kBins];

    explicit Bins(int used) : bins(used) {
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < bins; ++b) box[a][b] = Box3{}, count[a][b] = objects[a][b] = 0;
    }
    int binOf(float c, float lo, float scale) const { return std::min(bins - 1, static_cast<int>((c - lo) * scale)); }
    void add(const PrimRef* prims, uint32_t begin, uint32_t end, const float* lo, const float* scale) {
        for (uint32_t i = begin; i < end; ++i) {
            const PrimRef& p = prims[i];
            const uint32_t object = (p.id & kObjectRef) ? 1u : 0u;
            for (int a = 0; a < 3; ++a) {
                if (scale[a] == 0.0f) continue;
                const int b = binOf(p.centre(a), lo[a], scale[a]);
                box[a][b].grow(p.lo, p.hi);
                ++count[a][b];
                objects[a][b] += object;
            }
        }
    }
    void add(const Bins& o) {
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < bins; ++b) {
                box[a][b].grow(o.box[a][b]);
                count[a][b] += o.count[a][b];
                objects[a][b] += o.objects[a][b];
            }
    }
};

// The box of the centres of a run of primitives.
Box3 centreBox(const PrimRef* prims, uint32_t begin, uint32_t end) {
    Box3 b;
    for (uint32_t i = begin; i < end; ++i) {
        const float c[4] = {prims[i].centre(0), prims[i].centre(1), prims[i].centre(2), 0.0f};
        b.grow(c, c);
    }
    return b;
}

// Ranges this large are binned on every thread.
constexpr uint32_t kParallelBinning = 65536;

struct BinRun {
    const PrimRef* prims;
    uint32_t begin, count;
    const float* lo;
    const float* scale;
    std::vector<Bins>* parts;
    int threads;
};

void binPart(int k, void* context) {
    BinRun& run = *static_cast<BinRun*>(context);
    const uint64_t n = run.count, t = static_cast<uint64_t>(run.threads), kk = static_cast<uint64_t>(k);
    (*run.parts)[static_cast<size_t>(k)].add(run.prims, run.begin + static_cast<uint32_t>(n * kk / t),
                                             run.begin + static_cast<uint32_t>(n * (kk + 1) / t), run.lo, run.scale);
}

// A subtree left to build: its range and the slot of the node that points to it.
struct Task {
    Range range;
    uint32_t node, slot;
    int depth;
    std::vector<BvhNode> nodes;  // the subtree, its root first, child indices local
};

BvhNode emptyNode() {
    BvhNode n;
    for (int a = 0; a < 3; ++a)
        for (int k = 0; k < kBvhWidth; ++k) n.lo[a][k] = kInf, n.hi[a][k] = -kInf;
    for (int k = 0; k < kBvhWidth; ++k) n.child[k] = 0, n.count[k] = 0;
    return n;
}

struct Builder {
    PrimRef* prims;
    std::vector<BvhNode>& nodes;
    std::vector<Task>* tasks;  // null: build everything here
    int threads;               // for the binning of large ranges

    // Splits r in two by the cheapest binned surface-area plane; false where a leaf costs less
    // (and may be made: few primitives, all of one kind).
    bool split(const Range& r, Range& left, Range& right, bool median) const {
        const uint32_t n = r.count();
        if (n <= 1) return false;
        if (median && n > kMaxLeaf) {
            std::nth_element(prims + r.begin, prims + r.begin + n / 2, prims + r.end, [](const PrimRef& x, const PrimRef& y) {
                return x.id < y.id;
            });
            left = measure(prims, r.begin, r.begin + n / 2);
            right = measure(prims, r.begin + n / 2, r.end);
            return true;
        }
        float bestCost = kInf;
        int bestAxis = -1, bestBin = 0;
        const int used = static_cast<int>(std::min<uint32_t>(kBins, std::max<uint32_t>(n, 4)));  // few for few
        float scale[3];
        for (int a = 0; a < 3; ++a) {
            const float extent = r.centres.hi[a] - r.centres.lo[a];
            scale[a] = extent > 0.0f ? static_cast<float>(used) * 0.99999f / extent : 0.0f;
        }
        Bins bins(used);
        if (threads > 1 && n >= kParallelBinning) {
            std::vector<Bins> parts(static_cast<size_t>(threads), Bins(used));
            BinRun run{prims, r.begin, n, r.centres.lo, scale, &parts, threads};
            runWorkers(binPart, &run, threads);
            for (const Bins& part : parts) bins.add(part);
        } else {
            bins.add(prims, r.begin, r.end, r.centres.lo, scale);
        }
        for (int a = 0; a < 3; ++a) {
            if (scale[a] == 0.0f) continue;
            float rightArea[kBins];
            uint32_t rightCount[kBins];
            Box3 acc;
            uint32_t c = 0;
            for (int b = used - 1; b > 0; --b) {
                acc.grow(bins.box[a][b]);
                c += bins.count[a][b];
                rightArea[b] = acc.halfArea(), rightCount[b] = c;
            }
            acc = Box3{};
            c = 0;
            for (int b = 0; b < used - 1; ++b) {
                acc.grow(bins.box[a][b]);
                c += bins.count[a][b];
                if (c == 0 || rightCount[b + 1] == 0) continue;
                const float cost = acc.halfArea() * static_cast<float>(c) +
                                   rightArea[b + 1] * static_cast<float>(rightCount[b + 1]);
                if (cost < bestCost) bestCost = cost, bestAxis = a, bestBin = b;
            }
        }
        const float area = r.box.halfArea();
        const bool oneKind = !r.mixed();
        if (oneKind && n <= kMaxLeaf &&
            (bestAxis < 0 || static_cast<float>(n) <= kNodeCost + bestCost / std::max(area, 1e-30f)))
            return false;
        if (oneKind && bestAxis >= 0) {
            const int a = bestAxis;
            const float lo = r.centres.lo[a], s = scale[a];
            const PrimRef* mid = std::partition(prims + r.begin, prims + r.end,
                                                [&](const PrimRef& p) { return bins.binOf(p.centre(a), lo, s) <= bestBin; });
            left = Range{}, right = Range{};
            left.begin = r.begin, left.end = right.begin = static_cast<uint32_t>(mid - prims), right.end = r.end;
            for (int b = 0; b < used; ++b) {
                Range& side = b <= bestBin ? left : right;
                side.box.grow(bins.box[a][b]);
                side.objects += bins.objects[a][b];
            }
            left.centres = centreBox(prims, left.begin, left.end);
            right.centres = centreBox(prims, right.begin, right.end);
            return true;
        }
        PrimRef* mid;
        if (!oneKind)  // objects first, then triangles
            mid = std::stable_partition(prims + r.begin, prims + r.end, [](const PrimRef& p) { return p.id & kObjectRef; });
        else  // every centre in one point: halves
            mid = prims + r.begin + n / 2;
        const uint32_t m = static_cast<uint32_t>(mid - prims);
        left = measure(prims, r.begin, m);
        right = measure(prims, m, r.end);
        return true;
    }

    // A node over r with up to four children: the child of largest area split again while it can.
    uint32_t build(const Range& r, int depth) {
        const bool median = depth >= kMaxBvhDepth - 32;  // halves: at most 32 more levels
        Range children[kBvhWidth];
        bool leaf[kBvhWidth] = {};
        int count = 1;
        children[0] = r;
        while (count < kBvhWidth) {
            int pick = -1;
            float largest = -1.0f;
            for (int k = 0; k < count; ++k)
                if (!leaf[k] && children[k].box.halfArea() > largest) largest = children[k].box.halfArea(), pick = k;
            if (pick < 0) break;
            Range a, b;
            if (!split(children[pick], a, b, median)) {
                leaf[pick] = true;
                continue;
            }
            children[pick] = a;
            children[count] = b;
            leaf[count] = false;
            ++count;
        }
        const uint32_t index = static_cast<uint32_t>(nodes.size());
        nodes.push_back(emptyNode());
        for (int k = 0; k < count; ++k) {
            const Range& c = children[k];
            for (int a = 0; a < 3; ++a) nodes[index].lo[a][k] = c.box.lo[a], nodes[index].hi[a][k] = c.box.hi[a];
            Range a, b;
            if (leaf[k] || (c.count() <= kMaxLeaf && !split(c, a, b, median))) {
                nodes[index].child[k] = c.begin;  // a position in prims until the leaves are numbered
                nodes[index].count[k] = c.count() | (prims[c.begin].id & kObjectRef ? kBvhObjectLeaf : 0u);
            } else if (tasks && c.count() <= kTaskSize) {
                tasks->push_back(Task{c, index, static_cast<uint32_t>(k), depth + 1, {}});
            } else {
                const uint32_t child = build(c, depth + 1);
                nodes[index].child[k] = child;
            }
        }
        return index;
    }
};

struct TaskRun {
    PrimRef* prims;
    std::vector<Task>* tasks;
    std::atomic<size_t> next{0};
};

void runTasks(int, void* context) {
    TaskRun& run = *static_cast<TaskRun*>(context);
    for (;;) {
        const size_t i = run.next.fetch_add(1);
        if (i >= run.tasks->size()) return;
        Task& t = (*run.tasks)[i];
        Builder{run.prims, t.nodes, nullptr, 1}.build(t.range, t.depth);
    }
}

struct BoxRun {
    const Scene* scene;
    PrimRef* prims;
    size_t triangles;
    int threads;
};

// Worker k: the boxes of its share of the triangles.
void boxTriangles(int k, void* context) {
    BoxRun& run = *static_cast<BoxRun*>(context);
    const MeshStore& m = run.scene->meshes;
    const size_t n = run.triangles, threads = static_cast<size_t>(run.threads), kk = static_cast<size_t>(k);
    for (size_t t = n * kk / threads; t < n * (kk + 1) / threads; ++t) {
        PrimRef& p = run.prims[t];
        const uint32_t* c = m.triangle(static_cast<uint32_t>(t));
        for (int a = 0; a < 3; ++a) p.lo[a] = kInf, p.hi[a] = -kInf;
        for (int j = 0; j < 3; ++j) {
            const Vec3& v = m.positions[c[j]];
            const float q[3] = {v.x, v.y, v.z};
            for (int a = 0; a < 3; ++a) p.lo[a] = std::min(p.lo[a], q[a]), p.hi[a] = std::max(p.hi[a], q[a]);
        }
        p.id = static_cast<uint32_t>(t);
    }
}

}  // namespace

void MeshStore::reorder(const std::vector<uint32_t>& order) {
    std::vector<uint32_t> c(corners.size());
    std::vector<uint16_t> p(parts.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t from = order[i];
        c[3 * i] = corners[3 * from], c[3 * i + 1] = corners[3 * from + 1], c[3 * i + 2] = corners[3 * from + 2];
        p[i] = parts[from];
    }
    corners = std::move(c);
    parts = std::move(p);
}

BvhBuildStats buildBvh(Scene& scene, int threads, const std::vector<bool>& leaveOut) {
    const auto start = std::chrono::steady_clock::now();
    threads = std::clamp(threads, 1, kMaxWorkerThreads);
    BvhBuildStats stats;
    const size_t triangles = scene.meshes.triangleCount();
    std::vector<PrimRef> prims(triangles);
    BoxRun boxing{&scene, prims.data(), triangles, triangles >= 4096 ? threads : 1};
    runWorkers(boxTriangles, &boxing, boxing.threads);
    for (SceneObject& o : scene.objects) {
        o.leafCount = 0;
        if (&o == scene.freeObject || o.type == kMeshFaces) continue;
        if (o.index < leaveOut.size() && leaveOut[o.index]) continue;
        Box box;
        if (!objectBounds(o, box)) continue;
        prims.push_back({{box.min.x, box.min.y, box.min.z}, kObjectRef | o.index, {box.max.x, box.max.y, box.max.z}, 0.0f});
        o.leafCount = 1;
    }
    const uint32_t n = static_cast<uint32_t>(prims.size());
    stats.primitives = n;

    std::vector<BvhNode> nodes;
    std::vector<Task> tasks;
    Range all = measure(prims.data(), 0, n);
    if (n == 0) {
        nodes.push_back(emptyNode());
    } else {
        Builder{prims.data(), nodes, &tasks, threads}.build(all, 0);
        std::sort(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) {
            return a.range.count() != b.range.count() ? a.range.count() > b.range.count() : a.range.begin < b.range.begin;
        });
        TaskRun run{prims.data(), &tasks, {}};
        runWorkers(runTasks, &run, std::min<int>(threads, static_cast<int>(std::max<size_t>(tasks.size(), 1))));
        // The subtrees after the top, in the order of their ranges.
        std::sort(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) { return a.range.begin < b.range.begin; });
        for (Task& t : tasks) {
            const uint32_t offset = static_cast<uint32_t>(nodes.size());
            for (BvhNode& node : t.nodes)
                for (int k = 0; k < kBvhWidth; ++k)
                    if (node.count[k] == 0 && node.lo[0][k] <= node.hi[0][k]) node.child[k] += offset;
            nodes[t.node].child[t.slot] = offset;
            nodes.insert(nodes.end(), t.nodes.begin(), t.nodes.end());
        }
    }

    // Leaves number their triangles and objects in the order of the primitive array.
    std::vector<uint32_t> before(size_t{n} + 1, 0);  // triangles before each position
    for (uint32_t i = 0; i < n; ++i) before[i + 1] = before[i] + ((prims[i].id & kObjectRef) ? 0u : 1u);
    std::vector<uint32_t> order;
    order.reserve(triangles);
    Bvh bvh;
    for (uint32_t i = 0; i < n; ++i) {
        if (prims[i].id & kObjectRef)
            bvh.objects.push_back(prims[i].id & ~kObjectRef);
        else
            order.push_back(prims[i].id);
    }
    for (BvhNode& node : nodes)
        for (int k = 0; k < kBvhWidth; ++k) {
            if (node.count[k] == 0) continue;
            ++stats.leaves;
            const uint32_t position = node.child[k];
            node.child[k] = (node.count[k] & kBvhObjectLeaf) ? position - before[position] : before[position];
        }
    bvh.nodes = std::move(nodes);
    scene.meshes.reorder(order);
    scene.bvh = std::move(bvh);
    scene.usesBvh = true;
    scene.tree = Accel{};
    scene.treeNodes.clear();

    Box3 b = all.box;
    if (n == 0) {
        const float lo[4] = {-1.0f, -1.0f, -1.0f, 0.0f}, hi[4] = {1.0f, 1.0f, 1.0f, 0.0f};
        b.grow(lo, hi);
    }
    float largest = 0.0f;
    for (int a = 0; a < 3; ++a) largest = std::max(largest, b.hi[a] - b.lo[a]);
    const float pad = std::max(kScenePad * largest, 1e-6f);
    scene.bounds = {{b.lo[0] - pad, b.lo[1] - pad, b.lo[2] - pad}, {b.hi[0] + pad, b.hi[1] + pad, b.hi[2] + pad}};
    stats.nodes = scene.bvh.nodes.size();
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

}  // namespace lumo
