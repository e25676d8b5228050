#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>

#include "core/huge_pages.h"
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
constexpr uint32_t kTaskSize = 4096;  // subtrees this small are built whole on one thread
constexpr float kScenePad = 1e-3f;

// Boxes grow four floats at a time; the fourth is not part of the box.
struct Box3 {
    alignas(16) float lo[4] = {kInf, kInf, kInf, kInf};
    alignas(16) float hi[4] = {-kInf, -kInf, -kInf, -kInf};
    void grow(__m128 l, __m128 h) {
        _mm_store_ps(lo, _mm_min_ps(_mm_load_ps(lo), l));
        _mm_store_ps(hi, _mm_max_ps(_mm_load_ps(hi), h));
    }
    void grow(const float* l, const float* h) { grow(_mm_loadu_ps(l), _mm_loadu_ps(h)); }  // four floats each
    void grow(const Box3& b) { grow(b.lo, b.hi); }
    float halfArea() const {
        if (!(lo[0] <= hi[0])) return 0.0f;
        const float x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
        return x * y + y * z + z * x;
    }
};

// A primitive's box; `unused` is zero.
struct alignas(16) PrimRef {
    float lo[3];
    uint32_t id;
    float hi[3];
    float unused;
    float centre(int a) const { return lo[a] + hi[a]; }  // twice the centre: only order matters
};

// The box corners of a primitive as x, y, z, 0 and twice its centre.
inline __m128 loOf(const PrimRef& p) {
    return _mm_and_ps(_mm_load_ps(p.lo), _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)));
}
inline __m128 hiOf(const PrimRef& p) { return _mm_load_ps(p.hi); }

// A run of the primitive array with its box and the box of its centres.
struct Range {
    uint32_t begin = 0, end = 0;
    Box3 box, centres;
    uint32_t objects = 0;  // primitives that are objects, not triangles
    uint32_t count() const { return end - begin; }
    bool mixed() const { return objects > 0 && objects < count(); }
    void add(const Range& o) {
        box.grow(o.box), centres.grow(o.centres), objects += o.objects;
    }
};

Range measure(const PrimRef* prims, uint32_t begin, uint32_t end) {
    Range r;
    r.begin = begin, r.end = end;
    for (uint32_t i = begin; i < end; ++i) {
        const PrimRef& p = prims[i];
        const __m128 l = loOf(p), h = hiOf(p), c = _mm_add_ps(l, h);
        r.box.grow(l, h);
        r.centres.grow(c, c);
        r.objects += p.id >> 31;
    }
    return r;
}

// The bin of each axis of a centre: (centre - lo) * scale, truncated, at most the last bin.
struct BinMap {
    __m128 lo, scale, last;
    BinMap(const Range& r, int bins) {
        alignas(16) float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int a = 0; a < 3; ++a) {
            const float extent = r.centres.hi[a] - r.centres.lo[a];
            s[a] = extent > 0.0f ? static_cast<float>(bins) * 0.99999f / extent : 0.0f;
        }
        lo = _mm_and_ps(_mm_load_ps(r.centres.lo), _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)));
        scale = _mm_load_ps(s);
        last = _mm_set1_ps(static_cast<float>(bins - 1));
    }
    __m128i bins(__m128 centre) const {
        return _mm_cvttps_epi32(_mm_min_ps(_mm_mul_ps(_mm_sub_ps(centre, lo), scale), last));
    }
};

// The union of bins swept so far along each axis, with lanes for axes: x, y, z hold the boxes'
// corners of axis 0, 1, 2 in lanes 0, 1, 2.
struct Sweep {
    __m128 lo[3], hi[3];
    __m128i count;
    static Sweep empty() {
        const __m128 inf = _mm_set1_ps(kInf), minusInf = _mm_set1_ps(-kInf);
        return {{inf, inf, inf}, {minusInf, minusInf, minusInf}, _mm_setzero_si128()};
    }
    void add(const Sweep& bin) {
        for (int c = 0; c < 3; ++c) lo[c] = _mm_min_ps(lo[c], bin.lo[c]), hi[c] = _mm_max_ps(hi[c], bin.hi[c]);
        count = _mm_add_epi32(count, bin.count);
    }
    __m128 halfArea() const {
        const __m128 x = _mm_sub_ps(hi[0], lo[0]), y = _mm_sub_ps(hi[1], lo[1]), z = _mm_sub_ps(hi[2], lo[2]);
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, y), _mm_mul_ps(y, z)), _mm_mul_ps(z, x));
    }
};

// The primitives of a range sorted into bins along each axis by their centres: boxes and counts.
// Bins of parts of a range add up exactly, in any order.
struct Bins {
    struct Bin {
        __m128 lo, hi;
    };
    int bins = kBins;  // in use, from the first
    Bin bin[3][kBins];
    uint32_t count[3][kBins];

    explicit Bins(int used) : bins(used) {
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < bins; ++b) {
                bin[a][b] = {_mm_set1_ps(kInf), _mm_set1_ps(-kInf)};
                count[a][b] = 0;
            }
    }
    void add(const PrimRef& p, const BinMap& map) {
        const __m128 l = loOf(p), h = hiOf(p);
        alignas(16) int32_t at[4];  // of bin[0][0] and count[0][0], by axis
        _mm_store_si128(reinterpret_cast<__m128i*>(at),
                        _mm_add_epi32(map.bins(_mm_add_ps(l, h)), _mm_set_epi32(0, 2 * kBins, kBins, 0)));
        Bin* flat = &bin[0][0];
        uint32_t* counts = &count[0][0];
        for (int a = 0; a < 3; ++a) {
            Bin& b = flat[at[a]];
            b.lo = _mm_min_ps(b.lo, l);
            b.hi = _mm_max_ps(b.hi, h);
            ++counts[at[a]];
        }
    }
    void add(const PrimRef* prims, uint32_t begin, uint32_t end, const BinMap& map) {
        if (end - begin < 256) {
            for (uint32_t i = begin; i < end; ++i) add(prims[i], map);
            return;
        }
        // Neighbours in memory often share bins: two sets of bins, so one update need not wait
        // for the last.
        Bins odd(bins);
        uint32_t i = begin;
        for (; i + 1 < end; i += 2) add(prims[i], map), odd.add(prims[i + 1], map);
        if (i < end) add(prims[i], map);
        add(odd);
    }
    // The plane between two bins of least cost (area times primitives of each side), the first of
    // equal ones by axis, then bin; bestAxis stays -1 where no plane has primitives on both sides.
    // The three axes are swept at once, one a lane.
    void cheapestSplit(const BinMap& map, float& bestCost, int& bestAxis, int& bestBin) const {
        Sweep byAxis[kBins];  // each bin with lanes for axes
        for (int b = 0; b < bins; ++b) {
            Sweep& t = byAxis[b];
            t.lo[0] = bin[0][b].lo, t.lo[1] = bin[1][b].lo, t.lo[2] = bin[2][b].lo;
            t.hi[0] = bin[0][b].hi, t.hi[1] = bin[1][b].hi, t.hi[2] = bin[2][b].hi;
            __m128 l3 = _mm_setzero_ps(), h3 = l3;
            _MM_TRANSPOSE4_PS(t.lo[0], t.lo[1], t.lo[2], l3);
            _MM_TRANSPOSE4_PS(t.hi[0], t.hi[1], t.hi[2], h3);
            t.count = _mm_set_epi32(0, static_cast<int>(count[2][b]), static_cast<int>(count[1][b]),
                                    static_cast<int>(count[0][b]));
        }
        __m128 rightArea[kBins], rightCount[kBins];
        Sweep right = Sweep::empty();
        for (int b = bins - 1; b > 0; --b) {
            right.add(byAxis[b]);
            rightArea[b] = right.halfArea(), rightCount[b] = _mm_cvtepi32_ps(right.count);
        }
        const __m128 flat = _mm_cmpeq_ps(map.scale, _mm_setzero_ps());
        __m128 best = _mm_set1_ps(kInf);
        __m128i bestAt = _mm_setzero_si128();
        Sweep left = Sweep::empty();
        for (int b = 0; b < bins - 1; ++b) {
            left.add(byAxis[b]);
            const __m128 leftCount = _mm_cvtepi32_ps(left.count);
            const __m128 cost =
                _mm_add_ps(_mm_mul_ps(left.halfArea(), leftCount), _mm_mul_ps(rightArea[b + 1], rightCount[b + 1]));
            const __m128 empty =
                _mm_or_ps(_mm_cmpeq_ps(leftCount, _mm_setzero_ps()), _mm_cmpeq_ps(rightCount[b + 1], _mm_setzero_ps()));
            const __m128 better = _mm_andnot_ps(_mm_or_ps(empty, flat), _mm_cmplt_ps(cost, best));
            best = _mm_or_ps(_mm_and_ps(better, cost), _mm_andnot_ps(better, best));
            bestAt = _mm_or_si128(_mm_and_si128(_mm_castps_si128(better), _mm_set1_epi32(b)),
                                  _mm_andnot_si128(_mm_castps_si128(better), bestAt));
        }
        alignas(16) float cost[4];
        alignas(16) int32_t at[4];
        _mm_store_ps(cost, best);
        _mm_store_si128(reinterpret_cast<__m128i*>(at), bestAt);
        for (int a = 0; a < 3; ++a)
            if (cost[a] < bestCost) bestCost = cost[a], bestAxis = a, bestBin = at[a];
    }
    void add(const Bins& o) {
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < bins; ++b) {
                bin[a][b].lo = _mm_min_ps(bin[a][b].lo, o.bin[a][b].lo);
                bin[a][b].hi = _mm_max_ps(bin[a][b].hi, o.bin[a][b].hi);
                count[a][b] += o.count[a][b];
            }
    }
};

// Ranges this large are binned on every thread.
constexpr uint32_t kParallelBinning = 65536;

struct BinRun {
    const PrimRef* prims;
    uint32_t begin, count;
    const BinMap* map;
    std::vector<Bins>* parts;
    int threads;
};

void binPart(int k, void* context) {
    BinRun& run = *static_cast<BinRun*>(context);
    const uint64_t n = run.count, t = static_cast<uint64_t>(run.threads), kk = static_cast<uint64_t>(k);
    (*run.parts)[static_cast<size_t>(k)].add(run.prims, run.begin + static_cast<uint32_t>(n * kk / t),
                                             run.begin + static_cast<uint32_t>(n * (kk + 1) / t), *run.map);
}

// Moves the primitives of [begin, end) whose bin along `axis` is at most `last` to the front and
// returns where the others start; measures the centres of both sides on the way.
uint32_t partitionByBin(PrimRef* prims, uint32_t begin, uint32_t end, const BinMap& map, int axis, int last,
                        Box3& leftCentres, Box3& rightCentres) {
    __m128 leftLo = _mm_set1_ps(kInf), leftHi = _mm_set1_ps(-kInf), rightLo = leftLo, rightHi = leftHi;
    alignas(16) int32_t b[4];
    // The side of p; its centre grows that side's box.
    const auto left = [&](const PrimRef& p) {
        const __m128 c = _mm_add_ps(loOf(p), hiOf(p));
        _mm_store_si128(reinterpret_cast<__m128i*>(b), map.bins(c));
        if (b[axis] <= last) {
            leftLo = _mm_min_ps(leftLo, c), leftHi = _mm_max_ps(leftHi, c);
            return true;
        }
        rightLo = _mm_min_ps(rightLo, c), rightHi = _mm_max_ps(rightHi, c);
        return false;
    };
    PrimRef* first = prims + begin;
    PrimRef* stop = prims + end;
    // Every primitive is asked its side once: from the front up to one of the right side, from the
    // back down to one of the left side, then the two swap places.
    for (;;) {
        for (;;) {
            if (first == stop) goto done;
            if (!left(*first)) break;
            ++first;
        }
        --stop;
        for (;;) {
            if (first == stop) goto done;
            if (left(*stop)) break;
            --stop;
        }
        std::swap(*first, *stop);
        ++first;
    }
done:
    leftCentres.grow(leftLo, leftHi);
    rightCentres.grow(rightLo, rightHi);
    return static_cast<uint32_t>(first - prims);
}

BvhNode emptyNode() {
    BvhNode n;
    for (int a = 0; a < 3; ++a)
        for (int k = 0; k < kBvhWidth; ++k) n.lo[a][k] = kInf, n.hi[a][k] = -kInf;
    for (int k = 0; k < kBvhWidth; ++k) n.child[k] = 0, n.count[k] = 0;
    return n;
}

// Slot k of a node: a child's box, and the node index of an inner child or a leaf's first entry
// and entry count (count 0: inner).
void setSlot(BvhNode& n, int k, const Box3& box, uint32_t child, uint32_t count) {
    for (int a = 0; a < 3; ++a) n.lo[a][k] = box.lo[a], n.hi[a][k] = box.hi[a];
    n.child[k] = child;
    n.count[k] = count;
}

bool isInner(const BvhNode& n, int k) { return n.count[k] == 0 && n.lo[0][k] <= n.hi[0][k]; }

// A part of the tree built on one thread. A large job (more than kTaskSize primitives) makes one
// node and a job of each inner child; a small job builds its whole subtree. Its nodes come first
// (child indices local), then the slots that point to the roots of other jobs.
struct Job {
    struct Link {
        uint32_t node;
        int slot;
        Job* job;
    };
    Range range;
    int depth = 0;
    std::vector<BvhNode> nodes;
    std::vector<Link> links;
    uint32_t offset = 0;  // where its nodes go in the tree
    uint32_t parent = 0;  // the tree's node, and its slot, that points to a small job
    int slot = 0;
    bool built = false;   // small jobs: built, waiting to be copied
};

// Large jobs waiting for a thread, and every job made. Small jobs wait for the large ones to finish.
class JobQueue {
public:
    Job& add(const Range& r, int depth) {
        Job* job;
        const bool large = r.count() > kTaskSize;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job = &jobs_.emplace_back();
            job->range = r, job->depth = depth;
            if (large) ready_.push_back(job), ++unfinished_;
        }
        if (large) wake_.notify_one();
        return *job;
    }
    // The next large job, or null once every one is done (or one failed).
    Job* take() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return !ready_.empty() || unfinished_ == 0 || failed_; });
        if (ready_.empty() || failed_) return nullptr;
        Job* job = ready_.back();  // the newest: depth first, as the primitives lie in memory
        ready_.pop_back();
        return job;
    }
    void done() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--unfinished_ == 0) wake_.notify_all();
    }
    void fail() {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        wake_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;  // deque: their addresses stay
    std::vector<Job*> ready_;
    size_t unfinished_ = 0;
    bool failed_ = false;
};

struct Builder {
    PrimRef* prims;
    Job& job;
    JobQueue* queue;  // null: build the whole subtree here
    int threads;      // for the binning of large ranges

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
        if (n == 2 && !r.mixed()) return splitPair(r, left, right);
        float bestCost = kInf;
        int bestAxis = -1, bestBin = 0;
        const int used = static_cast<int>(std::min<uint32_t>(kBins, std::max<uint32_t>(n, 4)));  // few for few
        const BinMap map(r, used);
        Bins bins(used);
        if (threads > 1 && n >= kParallelBinning) {
            std::vector<Bins> parts(static_cast<size_t>(threads), Bins(used));
            BinRun run{prims, r.begin, n, &map, &parts, threads};
            runWorkers(binPart, &run, threads);
            for (const Bins& part : parts) bins.add(part);
        } else {
            bins.add(prims, r.begin, r.end, map);
        }
        bins.cheapestSplit(map, bestCost, bestAxis, bestBin);
        const float area = r.box.halfArea();
        const bool oneKind = !r.mixed();
        if (oneKind && n <= kMaxLeaf &&
            (bestAxis < 0 || static_cast<float>(n) <= kNodeCost + bestCost / std::max(area, 1e-30f)))
            return false;
        if (oneKind && bestAxis >= 0) {
            const int a = bestAxis;
            left = Range{}, right = Range{};
            left.begin = r.begin, right.end = r.end;
            left.end = right.begin =
                partitionByBin(prims, r.begin, r.end, map, a, bestBin, left.centres, right.centres);
            for (int b = 0; b < used; ++b) {
                Range& side = b <= bestBin ? left : right;
                side.box.grow(bins.bin[a][b].lo, bins.bin[a][b].hi);
            }
            left.objects = r.objects ? left.count() : 0;  // one kind: all objects or none
            right.objects = r.objects ? right.count() : 0;
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

    // split() of two primitives of one kind, as the bins would have it: apart along the first axis
    // on which their centres differ, the lower first, where that costs less than a leaf.
    bool splitPair(const Range& r, Range& left, Range& right) const {
        PrimRef* p = prims + r.begin;
        const __m128 c0 = _mm_add_ps(loOf(p[0]), hiOf(p[0])), c1 = _mm_add_ps(loOf(p[1]), hiOf(p[1]));
        const int differ = _mm_movemask_ps(_mm_cmpneq_ps(c0, c1)) & 7;
        if (differ == 0) return false;
        Range side[2];
        for (int k = 0; k < 2; ++k) {
            side[k].box.grow(loOf(p[k]), hiOf(p[k]));
            side[k].centres.grow(k ? c1 : c0, k ? c1 : c0);
        }
        const float cost = side[0].box.halfArea() + side[1].box.halfArea();
        if (2.0f <= kNodeCost + cost / std::max(r.box.halfArea(), 1e-30f)) return false;
        const int axis = differ & 1 ? 0 : (differ & 2 ? 1 : 2);
        const bool swap = side[0].centres.lo[axis] > side[1].centres.lo[axis];
        if (swap) std::swap(p[0], p[1]);
        left = side[swap ? 1 : 0], right = side[swap ? 0 : 1];
        left.begin = r.begin, left.end = right.begin = r.begin + 1, right.end = r.end;
        left.objects = right.objects = r.objects ? 1 : 0;
        return true;
    }

    // A node over r with up to four children: the child of largest area split again while it can.
    // halves: r already split in two. Returns the node's index in job.nodes.
    uint32_t build(const Range& r, int depth, const Range* halves = nullptr) {
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
            if (count == 1 && halves) {
                a = halves[0], b = halves[1];
            } else if (!split(children[pick], a, b, median)) {
                leaf[pick] = true;
                continue;
            }
            children[pick] = a;
            children[count] = b;
            leaf[count] = false;
            ++count;
        }
        std::vector<BvhNode>& nodes = job.nodes;
        const uint32_t index = static_cast<uint32_t>(nodes.size());
        nodes.push_back(emptyNode());
        for (int k = 0; k < count; ++k) {
            const Range& c = children[k];
            Range cut[2];
            const bool small = c.count() <= kMaxLeaf;  // the split decides whether it is a leaf
            if (leaf[k] || (small && !split(c, cut[0], cut[1], median))) {
                // The leaf's first entry is a position in prims until the leaves are numbered.
                const uint32_t kind = prims[c.begin].id & kObjectRef ? kBvhObjectLeaf : 0u;
                setSlot(nodes[index], k, c.box, c.begin, c.count() | kind);
            } else if (small && median == (depth + 1 >= kMaxBvhDepth - 32)) {
                const uint32_t child = build(c, depth + 1, cut);
                setSlot(nodes[index], k, c.box, child, 0);
            } else if (queue) {
                setSlot(nodes[index], k, c.box, 0, 0);
                job.links.push_back({index, k, &queue->add(c, depth + 1)});
            } else {
                const uint32_t child = build(c, depth + 1);
                setSlot(nodes[index], k, c.box, child, 0);
            }
        }
        return index;
    }
};

struct JobRun {
    PrimRef* prims;
    JobQueue* queue;
};

void runJobs(int, void* context) {
    JobRun& run = *static_cast<JobRun*>(context);
    while (Job* job = run.queue->take()) {
        try {
            Builder{run.prims, *job, run.queue, 1}.build(job->range, job->depth);
        } catch (...) {
            run.queue->fail();
            throw;
        }
        run.queue->done();
    }
}

// Gives the large jobs, depth first, their nodes' places in the tree after `next`, and lists the
// small jobs with the slots that point to them.
void placeLargeJobs(Job& job, uint32_t& next, std::vector<Job*>& large, std::vector<Job*>& small) {
    job.offset = next;
    next += static_cast<uint32_t>(job.nodes.size());
    large.push_back(&job);
    for (const Job::Link& link : job.links) {
        if (link.job->range.count() > kTaskSize) {
            placeLargeJobs(*link.job, next, large, small);
        } else {
            link.job->parent = job.offset + link.node, link.job->slot = link.slot;
            small.push_back(link.job);
        }
    }
}

// Appends a job's nodes to the tree with their child indices made global; returns its leaves.
size_t appendJob(const Job& job, std::vector<BvhNode>& tree) {
    size_t leaves = 0;
    const uint32_t offset = static_cast<uint32_t>(tree.size());
    for (BvhNode node : job.nodes) {
        for (int k = 0; k < kBvhWidth; ++k) {
            if (isInner(node, k))
                node.child[k] += offset;
            else
                leaves += node.count[k] != 0;
        }
        tree.push_back(node);
    }
    return leaves;
}

// The mesh's triangles and the objects in the order of the primitive array, gathered as the
// array's front becomes final.
struct LeafOrder {
    const PrimRef* prims;
    const MeshStore* mesh;
    std::vector<uint32_t> corners;
    std::vector<uint16_t> parts;
    std::vector<uint32_t>* objects;
    uint32_t done = 0;  // primitives gathered

    void upTo(uint32_t end) {
        for (; done < end; ++done) {
            const uint32_t id = prims[done].id;
            if (id & kObjectRef) {
                objects->push_back(id & ~kObjectRef);
                continue;
            }
            const uint32_t* c = mesh->triangle(id);
            corners.insert(corners.end(), c, c + 3);
            parts.push_back(mesh->parts[id]);
        }
    }
};

// The small jobs on all threads, taken in the order of their ranges. Each is built in a buffer of
// its worker's; whoever finishes a job appends every finished job that is next in order to the tree
// and gathers their triangles, so the tree grows in one order for any number of threads while the
// others build.
struct SmallRun {
    PrimRef* prims;
    const std::vector<Job*>* jobs;
    std::vector<BvhNode>* tree;
    LeafOrder* order;
    std::atomic<size_t> next{0};
    std::mutex mutex;  // guards the rest
    size_t appended = 0, leaves = 0;
    std::vector<std::vector<BvhNode>> spare;  // buffers of appended jobs
};

void runSmallJobs(int, void* context) {
    SmallRun& run = *static_cast<SmallRun*>(context);
    const std::vector<Job*>& jobs = *run.jobs;
    std::vector<BvhNode> buffer;
    for (size_t i; (i = run.next.fetch_add(1)) < jobs.size();) {
        Job& job = *jobs[i];
        job.nodes = std::move(buffer);
        job.nodes.clear();
        job.nodes.reserve(job.range.count() / 2 + 1);
        Builder{run.prims, job, nullptr, 1}.build(job.range, job.depth);
        std::lock_guard<std::mutex> lock(run.mutex);
        job.built = true;
        for (; run.appended < jobs.size() && jobs[run.appended]->built; ++run.appended) {
            Job& next = *jobs[run.appended];
            (*run.tree)[next.parent].child[next.slot] = static_cast<uint32_t>(run.tree->size());
            run.leaves += appendJob(next, *run.tree);
            run.order->upTo(next.range.end);  // the leaves of large jobs before it are final too
            run.spare.push_back(std::move(next.nodes));
        }
        if (!run.spare.empty()) {
            buffer = std::move(run.spare.back());
            run.spare.pop_back();
        }
    }
}

struct BoxRun {
    const Scene* scene;
    PrimRef* prims;
    size_t triangles;
    int threads;
    Range parts[kMaxWorkerThreads];  // what each worker measured
};

// Worker k: the boxes of its share of the triangles.
void boxTriangles(int k, void* context) {
    BoxRun& run = *static_cast<BoxRun*>(context);
    const MeshStore& m = run.scene->meshes;
    const size_t n = run.triangles, threads = static_cast<size_t>(run.threads), kk = static_cast<size_t>(k);
    const size_t begin = n * kk / threads, end = n * (kk + 1) / threads;
    for (size_t t = begin; t < end; ++t) {
        PrimRef& p = run.prims[t];
        const uint32_t* c = m.triangle(static_cast<uint32_t>(t));
        for (int a = 0; a < 3; ++a) p.lo[a] = kInf, p.hi[a] = -kInf;
        for (int j = 0; j < 3; ++j) {
            const Vec3& v = m.positions[c[j]];
            const float q[3] = {v.x, v.y, v.z};
            for (int a = 0; a < 3; ++a) p.lo[a] = std::min(p.lo[a], q[a]), p.hi[a] = std::max(p.hi[a], q[a]);
        }
        p.id = static_cast<uint32_t>(t);
        p.unused = 0.0f;
    }
    run.parts[k] = measure(run.prims, static_cast<uint32_t>(begin), static_cast<uint32_t>(end));
}

}  // namespace

BvhBuildStats buildBvh(Scene& scene, int threads, const std::vector<bool>& leaveOut) {
    const auto start = std::chrono::steady_clock::now();
    threads = std::clamp(threads, 1, kMaxWorkerThreads);
    BvhBuildStats stats;
    const size_t triangles = scene.meshes.triangleCount();
    std::vector<PrimRef> objects;
    for (SceneObject& o : scene.objects) {
        o.leafCount = 0;
        if (&o == scene.freeObject || o.type == kMeshFaces) continue;
        if (o.index < leaveOut.size() && leaveOut[o.index]) continue;
        Box box;
        if (!objectBounds(o, box)) continue;
        objects.push_back({{box.min.x, box.min.y, box.min.z}, kObjectRef | o.index, {box.max.x, box.max.y, box.max.z}, 0.0f});
        o.leafCount = 1;
    }
    const uint32_t n = static_cast<uint32_t>(triangles + objects.size());
    stats.primitives = n;
    // Triangles, then objects. Not cleared: the workers that box the triangles touch it first.
    const std::unique_ptr<PrimRef[]> refs(new PrimRef[n]);
    PrimRef* const prims = refs.get();
    preferHugePages(prims, sizeof(PrimRef) * n);
    std::copy(objects.begin(), objects.end(), prims + triangles);
    BoxRun boxing{&scene, prims, triangles, triangles >= 4096 ? threads : 1, {}};
    runWorkers(boxTriangles, &boxing, boxing.threads);

    Range all = measure(prims, static_cast<uint32_t>(triangles), n);  // the objects
    for (int k = 0; k < boxing.threads; ++k) all.add(boxing.parts[k]);
    all.begin = 0, all.end = n;
    // Leaves number their triangles and objects in the order of the primitive array.
    Bvh bvh;
    std::vector<BvhNode> nodes;
    if (n == 0) {
        nodes.push_back(emptyNode());
    } else {
        // The root on this thread, its large ranges binned on all; then the jobs on all threads.
        JobQueue queue;
        Job root;
        root.range = all;
        Builder{prims, root, &queue, threads}.build(all, 0);
        JobRun run{prims, &queue};
        runWorkers(runJobs, &run, threads);

        std::vector<Job*> large, small;
        uint32_t count = 0;
        placeLargeJobs(root, count, large, small);
        std::sort(small.begin(), small.end(),
                  [](const Job* a, const Job* b) { return a->range.begin < b->range.begin; });
        nodes.reserve(n / 2 + 64);  // most meshes need about n / 4
        preferHugePages(nodes.data(), sizeof(BvhNode) * nodes.capacity());
        for (const Job* job : large) {
            stats.leaves += appendJob(*job, nodes);
            for (const Job::Link& link : job->links)
                if (link.job->range.count() > kTaskSize)
                    nodes[job->offset + link.node].child[link.slot] = link.job->offset;
        }
        LeafOrder order{prims, &scene.meshes, {}, {}, &bvh.objects};
        order.corners.reserve(3 * triangles);
        order.parts.reserve(triangles);
        preferHugePages(order.corners.data(), sizeof(uint32_t) * order.corners.capacity());
        preferHugePages(order.parts.data(), sizeof(uint16_t) * order.parts.capacity());
        SmallRun smallRun{prims, &small, &nodes, &order, {}, {}, 0, 0, {}};
        runWorkers(runSmallJobs, &smallRun, std::min<int>(threads, static_cast<int>(std::max<size_t>(small.size(), 1))));
        stats.leaves += smallRun.leaves;

        // Leaves hold positions in the primitive array: with objects among the primitives, make
        // them the numbers of their first triangle or object.
        if (all.objects > 0) {
            std::vector<uint32_t> before(size_t{n} + 1, 0);  // triangles before each position
            for (uint32_t i = 0; i < n; ++i) before[i + 1] = before[i] + ((prims[i].id & kObjectRef) ? 0u : 1u);
            for (BvhNode& node : nodes)
                for (int k = 0; k < kBvhWidth; ++k) {
                    if (node.count[k] == 0) continue;
                    const uint32_t at = node.child[k];
                    node.child[k] = (node.count[k] & kBvhObjectLeaf) ? at - before[at] : before[at];
                }
        }
        order.upTo(n);
        scene.meshes.corners = std::move(order.corners);
        scene.meshes.parts = std::move(order.parts);
    }
    bvh.nodes = std::move(nodes);
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
