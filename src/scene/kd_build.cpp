#include "scene/kd_build.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <utility>
#include <vector>

#include "core/matrix34.h"
#include "core/workers.h"

namespace lumo {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Object boxes grow by this fraction of their size and distance from the origin, so float rounding
// in the bounds (inverted transforms, square roots) never leaves part of a surface outside.
constexpr float kObjectPad = 4e-6f;
// The scene box grows by this fraction of its largest side on every axis.
constexpr float kScenePad = 1e-3f;
// No cell is thinner than this fraction of the scene box's largest side. The walks decide whether a
// ray reaches the far child from a crossing point computed in float from the ray's origin; in a
// cell as thin as that point's rounding error the decision fails and objects are missed.
constexpr float kMinCellWidth = 1e-4f;

// Surface-area cost model: one traversal step against one object test, and the discount for a split
// that cuts off empty space. The walks are bound by memory latency, so a node visit costs about as
// much as four object tests (measured on a 1,000,000-triangle mesh: higher ratios give more nodes
// and list entries for the same rays per second).
constexpr float kTraversalCost = 1.0f;
constexpr float kIntersectionCost = 0.25f;
constexpr float kEmptyBonus = 0.2f;
// Nodes with more objects than this choose their split from binned counts; smaller ones try every
// object boundary.
constexpr size_t kExactSweepLimit = 16;
constexpr int kBins = 32;

struct Bounds {
    float lo[3] = {kInfinity, kInfinity, kInfinity};
    float hi[3] = {-kInfinity, -kInfinity, -kInfinity};

    void grow(const Vec3& p) {
        const float c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], c[a]);
            hi[a] = std::max(hi[a], c[a]);
        }
    }
    void grow(const Bounds& b) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], b.lo[a]);
            hi[a] = std::max(hi[a], b.hi[a]);
        }
    }
    bool finite() const {
        for (int a = 0; a < 3; ++a)
            if (!std::isfinite(lo[a]) || !std::isfinite(hi[a]) || lo[a] > hi[a]) return false;
        return true;
    }
    float extent(int a) const { return hi[a] - lo[a]; }
    // Half the surface area; only ratios of it are used.
    float halfArea() const {
        const float x = extent(0), y = extent(1), z = extent(2);
        return x * y + y * z + z * x;
    }
};

float component(const Vec3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }

Bounds centredBox(const Vec3& centre, const float halfExtent[3]) {
    Bounds b;
    for (int a = 0; a < 3; ++a) {
        b.lo[a] = component(centre, a) - halfExtent[a];
        b.hi[a] = component(centre, a) + halfExtent[a];
    }
    return b;
}

Bounds sphereBox(const Vec3& centre, float radiusSquared) {
    const float r = std::sqrt(radiusSquared);  // NaN for a negative square: rejected as not finite
    const float e[3] = {r, r, r};
    return centredBox(centre, e);
}

// The local box [lo, hi] placed by `localToWorld` (row-vector convention of Matrix34).
Bounds placedBox(const Vec3& lo, const Vec3& hi, const Matrix34& localToWorld) {
    const float* m = localToWorld.m;
    const Vec3 centre = transformPoint(scale(0.5f, add(lo, hi)), localToWorld);
    const Vec3 half = scale(0.5f, sub(hi, lo));
    float e[3];
    for (int j = 0; j < 3; ++j)
        e[j] = std::fabs(m[j]) * half.x + std::fabs(m[3 + j]) * half.y + std::fabs(m[6 + j]) * half.z;
    return centredBox(centre, e);
}

// Exact box of the unit sphere placed by `localToWorld`: along world axis j it reaches the length
// of column j of the linear part.
Bounds placedUnitSphere(const Matrix34& localToWorld) {
    const float* m = localToWorld.m;
    float e[3];
    for (int j = 0; j < 3; ++j) e[j] = std::sqrt(m[j] * m[j] + m[3 + j] * m[3 + j] + m[6 + j] * m[6 + j]);
    return centredBox({m[9], m[10], m[11]}, e);
}

// Exact box of a disc of radius^2 `radiusSquared` about `centre` in the plane of `normal` (any length).
Bounds discBox(const Vec3& centre, const Vec3& normal, float radiusSquared) {
    const float r = std::sqrt(radiusSquared);
    const float n2 = normal.x * normal.x + normal.y * normal.y + normal.z * normal.z;
    float e[3];
    for (int a = 0; a < 3; ++a) {
        const float na = component(normal, a);
        e[a] = r * std::sqrt(std::max(0.0f, 1.0f - na * na / n2));
    }
    return centredBox(centre, e);
}

Bounds rawBounds(const SceneObject& o, bool& known) {
    known = true;
    Bounds b;
    switch (o.type) {
        case kTriangle:
        case kParallelogram: {
            const PlanarPatch& p = o.patch;
            b.grow(p.origin);
            b.grow(add(p.origin, p.edgeA));
            b.grow(add(p.origin, p.edgeB));
            if (o.type == kParallelogram) b.grow(add(add(p.origin, p.edgeA), p.edgeB));
            return b;
        }
        case kSphere: return sphereBox(o.sphere.centre, o.sphere.radiusSquared);
        case kSphereSection:  // tested against its whole sphere in world space
            return sphereBox(o.section.centre, o.section.radiusSquared);
        case kRevolved: {
            // x^2 + y^2 = (1 - taper z)^2 for 0 <= z <= 1: the radius is largest at one end.
            const float r = std::max(1.0f, std::fabs(1.0f - o.revolved.taper));
            return placedBox({-r, -r, 0.0f}, {r, r, 1.0f}, inverse(o.revolved.worldToLocal));
        }
        case kTorus: {
            const float r = std::fabs(o.torus.minorRadius);
            const float outer = std::fabs(o.torus.majorRadius) + r;
            return placedBox({-outer, -outer, -r}, {outer, outer, r}, inverse(o.torus.worldToLocal));
        }
        case kParaboloid: {
            const float h = o.paraboloid.heightMax;
            if (!(h >= 0.0f)) break;  // z = x^2 + y^2 never reaches a negative limit: nothing to hit
            const float r = std::sqrt(h);
            return placedBox({-r, -r, 0.0f}, {r, r, h}, inverse(o.paraboloid.worldToLocal));
        }
        case kEllipsoidSection: return placedUnitSphere(inverse(o.ellipsoid.worldToLocal));
        case kDisc: return discBox(o.disc.centre, o.disc.normal, o.disc.outerRadiusSquared);
        case kDiscSector: return discBox(o.sector.centre, o.sector.normal, o.sector.outerRadiusSquared);
        case kMeshFaces: break;  // its triangles are in the scene's MeshStore
    }
    known = false;
    return b;
}

// One object's box as the builder moves it down the tree: clipped to the cells it is listed in.
struct Ref {
    float lo[3];
    float hi[3];
    uint32_t object;
};

float padFor(const Bounds& b) {
    float size = 0.0f;
    for (int a = 0; a < 3; ++a) size = std::max({size, std::fabs(b.lo[a]), std::fabs(b.hi[a]), b.extent(a)});
    return kObjectPad * size;
}

// Clips a triangle or parallelogram to `box` grown by `pad`, and narrows `box` to the part left
// (grown by `pad` again, for the rounding of the clip). False when no part of the patch is left.
bool clipPatch(const PlanarPatch& p, bool parallelogram, float pad, Bounds& box) {
    constexpr int kMaxVertices = 12;  // 4 corners and at most one more per clipping plane
    Vec3 polygon[kMaxVertices], clipped[kMaxVertices];
    int n = 0;
    polygon[n++] = p.origin;
    polygon[n++] = add(p.origin, p.edgeA);
    if (parallelogram) polygon[n++] = add(add(p.origin, p.edgeA), p.edgeB);
    polygon[n++] = add(p.origin, p.edgeB);
    for (int a = 0; a < 3; ++a) {
        for (int side = 0; side < 2; ++side) {
            const float plane = side == 0 ? box.lo[a] - pad : box.hi[a] + pad;
            const auto inside = [&](const Vec3& v) {
                return side == 0 ? component(v, a) >= plane : component(v, a) <= plane;
            };
            int m = 0;
            for (int i = 0; i < n; ++i) {
                if (m + 2 > kMaxVertices) return true;  // only rounding makes a polygon this long: keep the box
                const Vec3& from = polygon[i];
                const Vec3& to = polygon[(i + 1) % n];
                const bool fromIn = inside(from), toIn = inside(to);
                if (fromIn) clipped[m++] = from;
                if (fromIn != toIn) {
                    const float t = (plane - component(from, a)) / (component(to, a) - component(from, a));
                    clipped[m++] = add(from, scale(t, sub(to, from)));
                }
            }
            n = m;
            if (n == 0) return false;
            std::copy(clipped, clipped + n, polygon);
        }
    }
    Bounds part;
    for (int i = 0; i < n; ++i) part.grow(polygon[i]);
    for (int a = 0; a < 3; ++a) {
        const float lo = std::max(box.lo[a], part.lo[a] - pad);
        const float hi = std::min(box.hi[a], part.hi[a] + pad);
        if (lo <= hi) {
            box.lo[a] = lo;
            box.hi[a] = hi;
        }
    }
    return true;
}

// Built tree in index form: inner nodes point at their children, leaves at a run of `items`, and a
// subtree node at the output of a task built on another thread.
struct BuildNode {
    int32_t axis;  // 0 leaf, 1..3 split axis + 1, -1 subtree
    float split;
    uint32_t first;   // inner: below child; leaf: first item; subtree: task index
    uint32_t second;  // inner: above child; leaf: item count
};

struct Output {
    std::vector<BuildNode> nodes;
    std::vector<uint32_t> items;
};

struct Split {
    int axis = -1;
    float position = 0.0f;
    float cost = 0.0f;
};

struct Task {
    std::vector<Ref> refs;
    Bounds cell;
    int depth = 0;
    Output out;
};

class Builder {
public:
    Builder(const std::deque<SceneObject>& objects, int maxDepth, float minWidth)
        : objects_(objects), maxDepth_(maxDepth), minWidth_(minWidth) {}

    // Builds the subtree of `cell` over `refs` (consumed) into `out`; returns its node index. At
    // `spawnDepth` the subtree becomes a task instead (when `tasks` is set).
    uint32_t build(Output& out, std::vector<Ref>& refs, const Bounds& cell, int depth, std::vector<Task>* tasks,
                   int spawnDepth) {
        const uint32_t index = static_cast<uint32_t>(out.nodes.size());
        if (tasks && depth >= spawnDepth) {
            out.nodes.push_back({-1, 0.0f, static_cast<uint32_t>(tasks->size()), 0});
            Task& t = tasks->emplace_back();
            t.refs = std::move(refs);
            t.cell = cell;
            t.depth = depth;
            return index;
        }
        const Split s = refs.size() > 1 && depth < maxDepth_ ? findSplit(refs, cell) : Split{};
        if (s.axis < 0) {
            out.nodes.push_back({0, 0.0f, static_cast<uint32_t>(out.items.size()), static_cast<uint32_t>(refs.size())});
            for (const Ref& r : refs) out.items.push_back(r.object);
            maxLeafDepth_ = std::max(maxLeafDepth_, depth);
            std::vector<Ref>().swap(refs);
            return index;
        }
        out.nodes.push_back({s.axis + 1, s.position, 0, 0});
        std::vector<Ref> below, above;
        partition(refs, s, below, above);
        std::vector<Ref>().swap(refs);
        Bounds belowCell = cell, aboveCell = cell;
        belowCell.hi[s.axis] = s.position;
        aboveCell.lo[s.axis] = s.position;
        const uint32_t b = build(out, below, belowCell, depth + 1, tasks, spawnDepth);
        const uint32_t a = build(out, above, aboveCell, depth + 1, tasks, spawnDepth);
        out.nodes[index].first = b;
        out.nodes[index].second = a;
        return index;
    }

    int maxLeafDepth() const { return maxLeafDepth_; }

private:
    // The cheapest split plane strictly inside the cell, or none (axis -1) when a leaf costs less.
    Split findSplit(const std::vector<Ref>& refs, const Bounds& cell) {
        const float area = cell.halfArea();
        Split best;
        best.cost = kIntersectionCost * static_cast<float>(refs.size());
        if (!(area > 0.0f)) return best;
        for (int a = 0; a < 3; ++a) {
            if (!(cell.extent(a) >= 2.0f * minWidth_)) continue;
            if (refs.size() <= kExactSweepLimit)
                sweepExact(refs, cell, a, area, best);
            else
                sweepBinned(refs, cell, a, area, best);
        }
        return best;
    }

    void consider(const Bounds& cell, int a, float position, size_t nBelow, size_t nAbove, float area,
                  Split& best) const {
        if (!(position - cell.lo[a] >= minWidth_ && cell.hi[a] - position >= minWidth_)) return;
        const int b = (a + 1) % 3, c = (a + 2) % 3;
        const float eb = cell.extent(b), ec = cell.extent(c);
        const float across = eb * ec;
        const float around = eb + ec;
        const float areaBelow = across + (position - cell.lo[a]) * around;
        const float areaAbove = across + (cell.hi[a] - position) * around;
        const float bonus = (nBelow == 0 || nAbove == 0) ? 1.0f - kEmptyBonus : 1.0f;
        const float cost = kTraversalCost + kIntersectionCost * bonus *
                                                (areaBelow * static_cast<float>(nBelow) +
                                                 areaAbove * static_cast<float>(nAbove)) /
                                                area;
        if (cost < best.cost) {
            best.axis = a;
            best.position = position;
            best.cost = cost;
        }
    }

    // Every object boundary on axis a: starts before ends at the same coordinate.
    void sweepExact(const std::vector<Ref>& refs, const Bounds& cell, int a, float area, Split& best) {
        events_.clear();
        for (const Ref& r : refs) {
            events_.push_back({r.lo[a], 0});
            events_.push_back({r.hi[a], 1});
        }
        std::sort(events_.begin(), events_.end(), [](const Event& x, const Event& y) {
            return x.position < y.position || (x.position == y.position && x.end < y.end);
        });
        size_t nBelow = 0, nAbove = refs.size();
        for (const Event& e : events_) {
            if (e.end) --nAbove;
            consider(cell, a, e.position, nBelow, nAbove, area, best);
            if (!e.end) ++nBelow;
        }
    }

    // Planes between equal bins of the cell on axis a, from counts of where objects start and end.
    void sweepBinned(const std::vector<Ref>& refs, const Bounds& cell, int a, float area, Split& best) {
        uint32_t starts[kBins] = {}, ends[kBins] = {};
        const float lo = cell.lo[a];
        const float width = cell.extent(a);
        const float toBin = static_cast<float>(kBins) / width;
        const auto bin = [&](float x) {
            const float f = (x - lo) * toBin;
            return f <= 0.0f ? 0 : std::min(kBins - 1, static_cast<int>(f));
        };
        for (const Ref& r : refs) {
            ++starts[bin(r.lo[a])];
            ++ends[bin(r.hi[a])];
        }
        size_t nBelow = 0, nAbove = refs.size();
        for (int i = 1; i < kBins; ++i) {
            nBelow += starts[i - 1];
            nAbove -= ends[i - 1];
            consider(cell, a, lo + width * static_cast<float>(i) / static_cast<float>(kBins), nBelow, nAbove, area,
                     best);
        }
    }

    // Below: objects starting before the plane; above: objects ending after it, and flat ones lying
    // in it (a coordinate equal to the split belongs to the above cell). Triangles and parallelograms
    // that cross the plane are clipped to each side: a side they only graze in their box is left out.
    // Order is kept.
    void partition(const std::vector<Ref>& refs, const Split& s, std::vector<Ref>& below,
                   std::vector<Ref>& above) const {
        const int a = s.axis;
        const float p = s.position;
        size_t nBelow = 0, nAbove = 0;
        for (const Ref& r : refs) {
            nBelow += r.lo[a] < p;
            nAbove += r.hi[a] > p || !(r.lo[a] < p);
        }
        below.reserve(nBelow);
        above.reserve(nAbove);
        for (const Ref& r : refs) {
            const bool toBelow = r.lo[a] < p, toAbove = r.hi[a] > p || !toBelow;
            if (toBelow && toAbove) {
                Ref low = r, high = r;
                low.hi[a] = p;
                high.lo[a] = p;
                if (clipSide(low) | clipSide(high)) {
                    if (low.object != kClippedAway) below.push_back(low);
                    if (high.object != kClippedAway) above.push_back(high);
                    continue;
                }
            }
            if (toBelow) {
                below.push_back(r);
                below.back().hi[a] = std::min(r.hi[a], p);
            }
            if (toAbove) {
                above.push_back(r);
                above.back().lo[a] = std::max(r.lo[a], p);
            }
        }
    }

    static constexpr uint32_t kClippedAway = 0xFFFFFFFFu;

    // Narrows a planar object's reference to the part of the patch inside its box; marks it
    // kClippedAway when none is. Other shapes keep their box. False when the reference is gone.
    bool clipSide(Ref& r) const {
        const SceneObject& o = objects_[r.object];
        if (o.type != kTriangle && o.type != kParallelogram) return true;
        Bounds box;
        std::copy(r.lo, r.lo + 3, box.lo);
        std::copy(r.hi, r.hi + 3, box.hi);
        if (!clipPatch(o.patch, o.type == kParallelogram, padFor(box), box)) {
            r.object = kClippedAway;
            return false;
        }
        std::copy(box.lo, box.lo + 3, r.lo);
        std::copy(box.hi, box.hi + 3, r.hi);
        return true;
    }

    struct Event {
        float position;
        int end;
    };

    const std::deque<SceneObject>& objects_;
    int maxDepth_;
    float minWidth_;
    int maxLeafDepth_ = 0;
    std::vector<Event> events_;
};

// Writes a built tree in flat form, parent before children, the below subtree first.
class Emitter {
public:
    Emitter(std::deque<SceneObject>& objects, const std::vector<Task>& tasks, KdBuildStats& stats)
        : objects_(objects), tasks_(tasks), stats_(stats) {}

    Accel tree;

    void emitRoot(const Output& out) { fill(0, out, 0); }

    void fill(uint32_t k, const Output& out, uint32_t index) {
        const BuildNode& n = out.nodes[index];
        if (n.axis < 0) return fill(k, tasks_[n.first].out, 0);
        AccelNode node;
        if (n.axis == 0) {
            ++stats_.leaves;
            node.first = static_cast<uint32_t>(tree.objectIndices.size());
            node.second = n.second;
            for (uint32_t i = 0; i < n.second; ++i) {
                const uint32_t object = out.items[n.first + i];
                ++objects_[object].leafCount;
                tree.objectIndices.push_back(object);
            }
            stats_.references += n.second;
            tree.nodes[k] = node;
            return;
        }
        ++stats_.innerNodes;
        node.axis = n.axis;
        node.split = n.split;
        node.first = static_cast<uint32_t>(tree.nodes.size());
        tree.nodes.emplace_back();
        fill(node.first, out, n.first);
        node.second = static_cast<uint32_t>(tree.nodes.size());
        tree.nodes.emplace_back();
        fill(node.second, out, n.second);
        tree.nodes[k] = node;
    }

private:
    std::deque<SceneObject>& objects_;
    const std::vector<Task>& tasks_;
    KdBuildStats& stats_;
};

struct TaskRun {
    std::vector<Task>* tasks;
    std::vector<size_t> order;  // largest first
    std::atomic<size_t> next{0};
    std::vector<int> depths;    // deepest leaf per worker
    const std::deque<SceneObject>* objects;
    int maxDepth;
    float minWidth;
};

void runTasks(int k, void* context) {
    TaskRun& run = *static_cast<TaskRun*>(context);
    Builder builder(*run.objects, run.maxDepth, run.minWidth);
    for (size_t i = run.next.fetch_add(1); i < run.order.size(); i = run.next.fetch_add(1)) {
        Task& t = (*run.tasks)[run.order[i]];
        builder.build(t.out, t.refs, t.cell, t.depth, nullptr, 0);
    }
    run.depths[static_cast<size_t>(k)] = builder.maxLeafDepth();
}

constexpr uint32_t kNoObject = 0xFFFFFFFFu;

struct BoundsRun {
    Scene* scene;
    std::vector<Ref>* refs;  // indexed like the scene's objects
    std::vector<Bounds> perWorker;
    std::vector<size_t> skipped;  // per worker
    int threads;
};

// Worker k: the boxes of its share of the objects (kNoObject for those not in the tree), and their
// union; resets the objects' leaf counts.
void boundObjects(int k, void* context) {
    BoundsRun& run = *static_cast<BoundsRun*>(context);
    const size_t n = run.refs->size(), threads = static_cast<size_t>(run.threads), kk = static_cast<size_t>(k);
    Bounds all;
    for (size_t i = n * kk / threads; i < n * (kk + 1) / threads; ++i) {
        SceneObject& o = run.scene->objects[i];
        o.leafCount = 0;
        Ref& r = (*run.refs)[i];
        Box box;
        const bool free = &o == run.scene->freeObject;
        if (free || !objectBounds(o, box)) {
            r.object = kNoObject;
            run.skipped[kk] += !free;
            continue;
        }
        r = {{box.min.x, box.min.y, box.min.z}, {box.max.x, box.max.y, box.max.z}, static_cast<uint32_t>(i)};
        all.grow(box.min);
        all.grow(box.max);
    }
    run.perWorker[kk] = all;
}

}  // namespace

bool objectBounds(const SceneObject& object, Box& box) {
    bool known = false;
    Bounds b = rawBounds(object, known);
    if (!known || !b.finite()) return false;
    float size = 0.0f;
    for (int a = 0; a < 3; ++a) size = std::max({size, std::fabs(b.lo[a]), std::fabs(b.hi[a]), b.extent(a)});
    const float pad = kObjectPad * size;
    box = {{b.lo[0] - pad, b.lo[1] - pad, b.lo[2] - pad}, {b.hi[0] + pad, b.hi[1] + pad, b.hi[2] + pad}};
    return std::isfinite(pad);
}

KdBuildStats buildKdTree(Scene& scene, int threads) {
    const auto start = std::chrono::steady_clock::now();
    KdBuildStats stats;
    threads = std::clamp(threads, 1, kMaxWorkerThreads);

    // Every object's box, on all threads; objects without one are dropped after, in order.
    std::vector<Ref> refs(scene.objects.size());
    BoundsRun bounding{&scene, &refs, std::vector<Bounds>(static_cast<size_t>(threads)),
                       std::vector<size_t>(static_cast<size_t>(threads)), threads};
    runWorkers(boundObjects, &bounding, threads);
    Bounds all;
    for (const Bounds& b : bounding.perWorker) all.grow(b);
    for (size_t n : bounding.skipped) stats.skipped += n;
    std::erase_if(refs, [](const Ref& r) { return r.object == kNoObject; });
    if (refs.empty()) {
        all = Bounds{};
        all.grow(Vec3{-1.0f, -1.0f, -1.0f});
        all.grow(Vec3{1.0f, 1.0f, 1.0f});
    }
    float largest = 0.0f;
    for (int a = 0; a < 3; ++a) largest = std::max(largest, all.extent(a));
    const float pad = std::max(kScenePad * largest, 1e-6f);
    const float minWidth = kMinCellWidth * (largest + 2.0f * pad);
    for (int a = 0; a < 3; ++a) {
        all.lo[a] -= pad;
        all.hi[a] += pad;
    }

    const int maxDepth =
        std::min(48, 8 + static_cast<int>(1.3 * std::log2(static_cast<double>(std::max<size_t>(refs.size(), 1)))));
    std::vector<Task> tasks;
    Output top;
    Builder builder(scene.objects, maxDepth, minWidth);
    // A few levels on this thread, then the subtrees below them on every thread, largest first.
    const int spawnDepth = threads > 1 ? 2 + static_cast<int>(std::ceil(std::log2(threads))) : 0;
    builder.build(top, refs, all, 0, threads > 1 ? &tasks : nullptr, spawnDepth);
    int depth = builder.maxLeafDepth();
    if (!tasks.empty()) {
        TaskRun run;
        run.tasks = &tasks;
        run.objects = &scene.objects;
        run.maxDepth = maxDepth;
        run.minWidth = minWidth;
        run.depths.assign(static_cast<size_t>(threads), 0);
        for (size_t i = 0; i < tasks.size(); ++i) run.order.push_back(i);
        std::sort(run.order.begin(), run.order.end(),
                  [&tasks](size_t x, size_t y) { return tasks[x].refs.size() > tasks[y].refs.size(); });
        runWorkers(runTasks, &run, threads);
        for (int d : run.depths) depth = std::max(depth, d);
    }

    // The new tree replaces the old one only when complete.
    Emitter emitter(scene.objects, tasks, stats);
    emitter.emitRoot(top);
    scene.tree = std::move(emitter.tree);
    scene.treeNodes.clear();
    scene.bounds = {{all.lo[0], all.lo[1], all.lo[2]}, {all.hi[0], all.hi[1], all.hi[2]}};
    stats.depth = depth;
    stats.bytes = scene.tree.bytes();
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

}  // namespace lumo
