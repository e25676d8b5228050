// The packet kernels, written once over a lane type and built per instruction-set level by the units
// that include this (packet_kernels_sse41.cpp, _avx2.cpp, _avx512.cpp). They repeat the scalar walks
// of a single leaf lane by lane. Internal linkage throughout, for the reason given in lanes_x86.h.
#pragma once

#include "simd/bvh_packet_kernels.h"
#include "simd/camera_packets.h"
#include "simd/lanes_x86.h"

namespace lumo {
namespace {

template <class V>
struct PacketRays {
    using M = typename V::M;
    static constexpr int kLanes = V::kLanes;

    V o[3];  // origins
    V d[3];  // unit directions

    V dot3(const float* v) const { return (d[0] * V::set1(v[0]) + d[1] * V::set1(v[1])) + d[2] * V::set1(v[2]); }
    V along(int a, V t) const { return o[a] + t * d[a]; }

    // The flat shapes after the plane distance `term` of each lane's origin: the distance as the scalar
    // routine leaves it (-1 for a miss).
    V patchDistance(const PacketShape& s, V term) const {
        const V miss = V::set1(-1.0f), zero = V::set1(0.0f), one = V::set1(1.0f);
        const V a = dot3(s.n);
        M missed = V::eq(a, zero);
        if (s.oneSided) missed = V::mor(missed, V::ge(a, zero));
        const V t = term / a;
        const M notAhead = V::mnot(V::gt(t, zero));  // the distance stays as it is
        const V di = along(static_cast<int>(s.axisI), t) - V::set1(s.p[s.axisI]);
        const V dj = along(static_cast<int>(s.axisJ), t) - V::set1(s.p[s.axisJ]);
        const V ai = V::set1(s.edge[0]);
        const V v = (dj * ai - di * V::set1(s.edge[1])) * V::set1(s.inverseDeterminant);
        const V u = (di - v * V::set1(s.edge[2])) / ai;
        M outside = V::mor(V::lt(v, zero), V::lt(u, zero));
        if (s.kind == kPacketTriangle)
            outside = V::mor(outside, V::gt(u + v, one));
        else
            outside = V::mor(outside, V::mor(V::gt(u, one), V::gt(v, one)));
        missed = V::mor(missed, V::mandnot(notAhead, outside));
        return V::select(missed, t, miss);
    }
    V discDistance(const PacketShape& s, V term) const {
        const V zero = V::set1(0.0f);
        const V a = dot3(s.n);
        const V t = term / a;
        const V qx = along(0, t) - V::set1(s.p[0]), qy = along(1, t) - V::set1(s.p[1]), qz = along(2, t) - V::set1(s.p[2]);
        const V r2 = (qx * qx + qy * qy) + qz * qz;
        const M missed = V::mor(V::mor(V::eq(a, zero), V::le(t, zero)),
                                V::mor(V::gt(r2, V::set1(s.radii[0])), V::lt(r2, V::set1(s.radii[1]))));
        return V::select(missed, t, V::set1(-1.0f));
    }
    // (p - origin) . n per lane
    V planeTerm(const PacketShape& s) const {
        return ((V::set1(s.p[0]) - o[0]) * V::set1(s.n[0]) + (V::set1(s.p[1]) - o[1]) * V::set1(s.n[1])) +
               (V::set1(s.p[2]) - o[2]) * V::set1(s.n[2]);
    }

    // Shapes without a packet form: the scalar routine lane by lane, each on a clean record (kept in
    // `records` when given).
    // `lanes`: where a test is wanted (a miss elsewhere).
    template <class Test>
    V perLane(Test test, HitRecord* records = nullptr, unsigned lanes = ~0u) const {
        alignas(64) float lane[6][kLanes];
        alignas(64) float t[kLanes];
        for (int a = 0; a < 3; ++a) o[a].store(lane[a]), d[a].store(lane[3 + a]);
        for (int k = 0; k < kLanes; ++k) {
            t[k] = -1.0f;
            if (!(lanes & (1u << k))) continue;
            HitRecord h{};
            test(Vec3{lane[0][k], lane[1][k], lane[2][k]}, Vec3{lane[3][k], lane[4][k], lane[5][k]}, h);
            t[k] = h.distance;
            if (records) records[k] = h;
        }
        return V::load(t);
    }

    // Camera form: the origin is the eye, the shapes carry the eye's terms.
    V cameraDistance(const PacketShape& s, HitRecord* records = nullptr) const {
        switch (s.kind) {
            case kPacketSphere: {
                const V b = dot3(s.p);
                const V disc = b * b - V::set1(s.term);
                return V::select(V::lt(disc, V::set1(0.0f)), -b - V::sqrt(disc), V::set1(-1.0f));
            }
            case kPacketTriangle:
            case kPacketParallelogram: return patchDistance(s, V::set1(s.term));
            case kPacketDisc: return discDistance(s, V::set1(s.term));
            case kPacketNone: return V::set1(-1.0f);
            default:
                return perLane([&](const Vec3& eye, const Vec3& d, HitRecord& h) {
                    intersectCameraForm(*s.object, *s.cache, eye, d, h);
                }, records);
        }
    }

    // General form from each lane's origin; shapes tested per lane for the lanes in `lanes` only.
    V generalDistance(const PacketShape& s, unsigned lanes) const {
        switch (s.kind) {
            case kPacketSphere: {
                const V ox = o[0] - V::set1(s.p[0]), oy = o[1] - V::set1(s.p[1]), oz = o[2] - V::set1(s.p[2]);
                const V b = (ox * d[0] + oy * d[1]) + oz * d[2];
                const V c = ((ox * ox + oy * oy) + oz * oz) - V::set1(s.radii[0]);
                const V disc = b * b - c;
                const V root = V::sqrt(disc);
                const V near = -b - root;
                // near > 0.001 taken in double: the float just below 0.001 is the last that fails.
                const V t = V::select(V::gt(near, V::set1(0.00099999993f)), -b + root, near);
                return V::select(V::le(disc, V::set1(0.0f)), t, V::set1(-1.0f));
            }
            case kPacketTriangle:
            case kPacketParallelogram: return patchDistance(s, planeTerm(s));
            case kPacketDisc: return discDistance(s, planeTerm(s));
            case kPacketNone: return V::set1(-1.0f);
            default:
                return perLane([&](const Vec3& origin, const Vec3& d, HitRecord& h) {
                    intersectBlockerForm(*s.object, origin, d, h);
                }, nullptr, lanes);
        }
    }
};

// The winners' records where they have no packet form: lanes in `lanes` took shape `s`.
template <class V>
void keepRecords(const PacketShape& s, unsigned lanes, const HitRecord* records, PacketHits& out) {
    const bool other = s.kind == kPacketOther;
    for (int k = 0; k < V::kLanes; ++k)
        if (lanes & (1u << k)) {
            if (other) out.records[k] = records[k];
            out.recorded = other ? out.recorded | (1u << k) : out.recorded & ~(1u << k);
        }
}

// The objects with indices [first, end) for the lanes in `active`, in order; an object replaces a
// lane's nearest distance and winner (its index) when it lies at a distance >= 0 and nearer (the first
// of equals stays).
template <class V>
[[gnu::always_inline]] inline void testCameraShapes(const CameraPacketFrame& f, const PacketRays<V>& r,
                                                    const uint32_t* first, const uint32_t* end, typename V::M active,
                                                    V& nearest, V& winner, HitRecord* records, PacketHits& out) {
    using M = typename V::M;
    const V zero = V::set1(0.0f);
    for (const uint32_t* i = first; i != end; ++i) {
        const PacketShape& s = f.shapes[*i];
        const V t = r.cameraDistance(s, records);
        const M accept = V::mand(V::mand(active, V::ge(t, zero)), V::mor(V::lt(nearest, zero), V::lt(t, nearest)));
        nearest = V::select(accept, nearest, t);
        winner = V::select(accept, winner, V::set1(static_cast<float>(*i)));
        if (const unsigned accepted = V::bits(accept)) keepRecords<V>(s, accepted, records, out);
    }
}

// An inner node as both tree walks pass it, the packet form of walkTree's step (trace/traverse.h):
// the two child cells, which lanes go first to the side below the split (an entry below it, or on it
// heading down), which lanes enter on the plane, and which lanes go on into the far cell and where.
template <class V>
struct PacketSplit {
    using M = typename V::M;
    int a;
    V split;
    M onPlane;
    M nearIsBelow;
    const float *lo, *hi;
    float belowHi[3], aboveLo[3];

    PacketSplit(const AccelNode& n, const V* entry, const V* d, const float* cellLo, const float* cellHi)
        : a(n.axis - 1), split(V::set1(n.split)), onPlane(V::eq(entry[n.axis - 1], split)),
          nearIsBelow(V::mor(V::lt(entry[a], split), V::mand(onPlane, V::lt(d[a], V::set1(0.0f))))),
          lo(cellLo), hi(cellHi), belowHi{cellHi[0], cellHi[1], cellHi[2]}, aboveLo{cellLo[0], cellLo[1], cellLo[2]} {
        belowHi[a] = n.split;
        aboveLo[a] = n.split;
    }
    // The lanes of `lanes` that go on to the far child, with their entry there in q: lanes that enter
    // on the plane (from their entry), and lanes that head across the split and meet it where the ray
    // goes on into the cell (t = (split - from) / d along the axis).
    M far(M lanes, const V* entry, const V* from, const V* d, V* q) const {
        const V zero = V::set1(0.0f);
        const M flat = V::mand(lanes, onPlane);
        const M heading = V::mor(V::mand(nearIsBelow, V::gt(d[a], zero)), V::mandnot(nearIsBelow, V::lt(d[a], zero)));
        M go = V::mand(V::mandnot(onPlane, lanes), heading);
        if (V::bits(go)) {
            const V t = (split - from[a]) / d[a];
            for (int b = 0; b < 3; ++b) {
                q[b] = from[b] + t * d[b];
                const V l = V::set1(lo[b]), h = V::set1(hi[b]);
                const M inside = V::mand(V::le(l, q[b]), V::le(q[b], h));
                const M leaves = V::mor(V::mand(V::eq(q[b], l), V::lt(d[b], zero)),
                                        V::mand(V::eq(q[b], h), V::gt(d[b], zero)));
                go = V::mand(go, V::mandnot(leaves, inside));
            }
            for (int b = 0; b < 3; ++b) q[b] = V::select(flat, q[b], entry[b]);
        } else {
            for (int b = 0; b < 3; ++b) q[b] = entry[b];
        }
        return V::mor(go, flat);
    }
    // The lanes of `lanes` to the child on their near side (first) or their far side (then).
    template <class Walk>
    void visitNear(Walk& w, const AccelNode& n, M lanes, const V* entry) const {
        visit(w, n, V::mand(lanes, nearIsBelow), V::mandnot(nearIsBelow, lanes), entry);
    }
    template <class Walk>
    void visitFar(Walk& w, const AccelNode& n, M lanes, const V* entry) const {
        visit(w, n, V::mandnot(nearIsBelow, lanes), V::mand(lanes, nearIsBelow), entry);
    }
    template <class Walk>
    void visit(Walk& w, const AccelNode& n, M below, M above, const V* entry) const {
        if (V::bits(below)) w.walk(n.below(), below, entry, lo, belowHi);
        if (V::bits(above)) w.walk(n.above(), above, entry, aboveLo, hi);
    }
};

// One camera packet's walk of a tree of several leaves, lane by lane as the scalar camera walk goes.
template <class V>
struct CameraWalk {
    using M = typename V::M;
    const CameraPacketFrame& f;
    const PacketRays<V>& r;
    PacketHits& out;
    HitRecord* records;
    V& nearest;
    V& winner;

    // b where m is set, a elsewhere
    static M choose(M m, M a, M b) { return V::mor(V::mand(m, b), V::mandnot(m, a)); }

    // The lanes in `active` enter node `index`, whose cell is [lo, hi], at `entry`. A lane goes to the
    // child on its entry's side first, then to the other child where its ray crosses the split inside
    // the cell and its nearest hit, if any, does not lie before that crossing.
    void walk(uint32_t index, M active, const V* entry, const float* lo, const float* hi) {
        const AccelNode& n = f.nodes[index];
        if (n.isLeaf()) {
            testCameraShapes(f, r, f.objectIndices + n.objectBegin(), f.objectIndices + n.objectEnd(), active,
                             nearest, winner, records, out);
            return;
        }
        const PacketSplit<V> c(n, entry, r.d, lo, hi);
        c.visitNear(*this, n, active, entry);
        const int a = c.a;
        const V d = r.d[a];
        const V eyeA = r.o[a];
        const V hitCoord = eyeA + nearest * d;
        const M hitBefore = choose(c.nearIsBelow, V::lt(entry[a], hitCoord), V::gt(entry[a], hitCoord));
        const M stop = V::mand(V::ge(nearest, V::set1(0.0f)), hitBefore);
        const M pending = V::mandnot(stop, active);
        if (!V::bits(pending)) return;
        V q[3];
        const M go = c.far(pending, entry, r.o, r.d, q);  // crossings from the eye, as the scalar walk
        if (V::bits(go)) c.visitFar(*this, n, go, q);
    }
};

template <class V>
void traceCameraPacket(const CameraPacketFrame& f, float row, const float* column, PacketHits& out) {
    using M = typename V::M;
    PacketRays<V> r;
    const float eye[3] = {f.eye.x, f.eye.y, f.eye.z};
    {
        // (corner + row * rowStep) + column * columnStep, divided by its length taken in double.
        const V x = V::load(column);
        const float base[3] = {f.cameraCorner.x + row * f.rowStep.x, f.cameraCorner.y + row * f.rowStep.y,
                               f.cameraCorner.z + row * f.rowStep.z};
        const float step[3] = {f.columnStep.x, f.columnStep.y, f.columnStep.z};
        for (int a = 0; a < 3; ++a) r.d[a] = V::set1(base[a]) + x * V::set1(step[a]);
        const V length = V::lengthViaDouble(r.d[0], r.d[1], r.d[2]);
        for (int a = 0; a < 3; ++a) r.d[a] = r.d[a] / length, r.o[a] = V::set1(eye[a]);
    }
    if (f.bvhNodes) {
        BvhPacketRays<V> b;
        for (int a = 0; a < 3; ++a) b.o[a] = r.o[a], b.d[a] = r.d[a];
        traceCameraPacketBvh(f, b, out);
        for (int a = 0; a < 3; ++a) r.d[a].store(out.direction[a]);
        return;
    }
    const V zero = V::set1(0.0f), miss = V::set1(-1.0f);

    // Lanes that walk the tree: the eye inside the box, or a positive entry within the box's faces.
    // Where they enter: the eye, or the entry face's plane on its axis and the ray's point elsewhere.
    M walk = V::all();
    const bool tree = !f.nodes[0].isLeaf();  // a single leaf needs no entry point
    V entry[3] = {r.o[0], r.o[1], r.o[2]};
    const CameraBoxCache& c = f.box;
    const float lo[3] = {f.bounds.min.x, f.bounds.min.y, f.bounds.min.z};
    const float hi[3] = {f.bounds.max.x, f.bounds.max.y, f.bounds.max.z};
    if (!c.eyeInside) {
        V tEnter[3];
        for (int a = 0; a < 3; ++a)
            tEnter[a] = c.outside[a] ? V::select(V::eq(r.d[a], zero), V::set1(c.plane[a] - eye[a]) / r.d[a], miss) : miss;
        const M above1 = V::gt(tEnter[1], tEnter[0]);
        V t = V::select(above1, tEnter[0], tEnter[1]);
        const M above2 = V::gt(tEnter[2], t);
        t = V::select(above2, t, tEnter[2]);
        const M entryAxis[3] = {V::mnot(V::mor(above1, above2)), V::mandnot(above2, above1), above2};
        walk = V::gt(t, zero);
        for (int a = 0; a < 3; ++a) {
            const V p = r.along(a, t);
            const M outsideFace = V::mor(V::lt(p, V::set1(lo[a])), V::gt(p, V::set1(hi[a])));
            walk = V::mand(walk, V::mor(entryAxis[a], V::mnot(outsideFace)));
            if (tree) entry[a] = V::select(entryAxis[a], p, V::set1(c.plane[a]));
        }
    }

    V nearest = miss, winner = miss;
    HitRecord records[V::kLanes];
    out.recorded = 0;
    if (f.freeShape >= 0) {  // taken as it is, hit or miss, before the box
        const PacketShape& s = f.shapes[f.freeShape];
        nearest = r.cameraDistance(s, records);
        winner = V::set1(static_cast<float>(f.freeShape));
        keepRecords<V>(s, V::bits(V::all()), records, out);
    }
    if (V::bits(walk) != 0) {
        const AccelNode& root = f.nodes[0];
        if (root.isLeaf()) {
            testCameraShapes(f, r, f.objectIndices + root.objectBegin(), f.objectIndices + root.objectEnd(), walk,
                             nearest, winner, records, out);
        } else {
            // The walk's own copies: taking the address of `nearest` would keep it out of registers
            // in the single leaf's loop too.
            V walkNearest = nearest, walkWinner = winner;
            CameraWalk<V>{f, r, out, records, walkNearest, walkWinner}.walk(0, walk, entry, lo, hi);
            nearest = walkNearest, winner = walkWinner;
        }
    }
    for (int a = 0; a < 3; ++a) r.d[a].store(out.direction[a]);
    nearest.store(out.distance);
    alignas(64) float wv[V::kLanes];
    winner.store(wv);
    for (int k = 0; k < V::kLanes; ++k) out.shape[k] = static_cast<int32_t>(wv[k]);
}

// The blockers among the objects with indices [firstObject, end) for the lanes in `active` not yet
// `done`, in order: a lane is done at the first blocker it meets, whose distance goes to `first`.
template <class V>
[[gnu::always_inline]] inline void testBlockers(const CameraPacketFrame& f, const PacketRays<V>& r, V maxDistance,
                                                V exclude, const uint32_t* firstObject, const uint32_t* end,
                                                typename V::M active, typename V::M& done, V& first) {
    using M = typename V::M;
    const V zero = V::set1(0.0f), selfRange = V::set1(0.0001f);
    for (const uint32_t* i = firstObject; i != end; ++i) {
        const PacketShape& s = f.blockers[*i];
        if (s.kind == kPacketNone) continue;
        const M pending = V::mandnot(done, active);
        if (!V::bits(pending)) return;
        const V t = r.generalDistance(s, V::bits(pending));
        const M self = V::mand(V::eq(exclude, V::set1(s.index)), V::lt(t, selfRange));
        const M blocker = V::mnot(V::mor(V::mor(self, V::gt(t, maxDistance)), V::le(t, zero)));
        const M meets = V::mand(blocker, pending);
        first = V::select(meets, first, t);
        done = V::mor(done, meets);
    }
}

// One shadow packet's walk of a tree of several leaves, lane by lane as the scalar occlusion walk
// goes: a lane ends at the first blocker it meets.
template <class V>
struct OcclusionWalk {
    using M = typename V::M;
    const CameraPacketFrame& f;
    const PacketRays<V>& r;
    V maxDistance, exclude;
    M& done;
    V& first;

    // The lanes in `active` enter node `index`, whose cell is [lo, hi], at `entry`; the child on the
    // entry's side first, the other where the ray crosses the split inside the cell.
    void walk(uint32_t index, M active, const V* entry, const float* lo, const float* hi) {
        const AccelNode& n = f.nodes[index];
        if (n.isLeaf()) {
            testBlockers(f, r, maxDistance, exclude, f.objectIndices + n.objectBegin(), f.objectIndices + n.objectEnd(),
                         active, done, first);
            return;
        }
        const PacketSplit<V> c(n, entry, r.d, lo, hi);
        c.visitNear(*this, n, active, entry);
        const M pending = V::mandnot(done, active);
        if (!V::bits(pending)) return;
        V q[3];
        const M go = c.far(pending, entry, entry, r.d, q);
        if (V::bits(go)) c.visitFar(*this, n, go, q);
    }
};

template <class V>
unsigned occludePacket(const CameraPacketFrame& f, const ShadowPacket& rays, unsigned lanes) {
    using M = typename V::M;
    PacketRays<V> r;
    for (int a = 0; a < 3; ++a) r.o[a] = V::load(rays.origin[a]), r.d[a] = V::load(rays.direction[a]);
    if (f.bvhNodes) {
        BvhPacketRays<V> b;
        for (int a = 0; a < 3; ++a) b.o[a] = r.o[a], b.d[a] = r.d[a];
        return occludePacketBvh(f, b, rays, lanes);
    }
    const V maxDistance = V::load(rays.maxDistance), exclude = V::load(rays.exclude);
    alignas(64) float carries[V::kLanes];
    for (int k = 0; k < V::kLanes; ++k) carries[k] = (lanes & (1u << k)) ? 1.0f : 0.0f;
    const M active = V::gt(V::load(carries), V::set1(0.0f));
    M done = V::none();
    V first = V::set1(0.0f);
    // Shadow rays leave a surface point: the walk starts there, at the root.
    const AccelNode& root = f.nodes[0];
    if (root.isLeaf()) {
        testBlockers(f, r, maxDistance, exclude, f.objectIndices + root.objectBegin(),
                     f.objectIndices + root.objectEnd(), active, done, first);
    } else if (V::bits(active)) {
        const float lo[3] = {f.bounds.min.x, f.bounds.min.y, f.bounds.min.z};
        const float hi[3] = {f.bounds.max.x, f.bounds.max.y, f.bounds.max.z};
        V walkFirst = first;  // the walk's own copy, as in the camera kernel
        OcclusionWalk<V>{f, r, maxDistance, exclude, done, walkFirst}.walk(0, active, r.o, lo, hi);
        first = walkFirst;
    }
    return V::bits(V::gt(first, V::set1(0.0f))) & lanes;
}

template <class V>
void phongLightTerms(const Vec3& eye, const Vec3& light, PhongPacket& q) {
    const float e[3] = {eye.x, eye.y, eye.z}, lp[3] = {light.x, light.y, light.z};
    V p[3], n[3], toEye[3], l[3];
    for (int a = 0; a < 3; ++a) {
        p[a] = V::load(q.point[a]), n[a] = V::load(q.normal[a]);
        toEye[a] = p[a] - V::set1(e[a]);
        l[a] = V::set1(lp[a]) - p[a];
    }
    const V eyeLength = V::lengthViaDouble(toEye[0], toEye[1], toEye[2]);
    const V lightLength = V::lengthViaDouble(l[0], l[1], l[2]);
    for (int a = 0; a < 3; ++a) {
        toEye[a] = toEye[a] / eyeLength, l[a] = l[a] / lightLength;
        toEye[a].store(q.eyeward[a]), l[a].store(q.toLight[a]);
    }
    lightLength.store(q.lightDistance);
    const V c = V::dotViaDouble(l[0], l[1], l[2], n[0], n[1], n[2]);
    c.store(q.cosine);
    const V twiceC = V::set1(2.0f) * c;
    V r[3];
    for (int a = 0; a < 3; ++a) r[a] = twiceC * n[a] - l[a];
    const V rLength = V::lengthViaDouble(r[0], r[1], r[2]);
    for (int a = 0; a < 3; ++a) r[a] = r[a] / rLength;
    const V s = -V::dotViaDouble(r[0], r[1], r[2], toEye[0], toEye[1], toEye[2]);
    const V zero = V::set1(0.0f);
    V::select(V::lt(zero, s), zero, s).store(q.highlight);  // (0 < s) ? s : 0, as std::max(0, s)
}

template <class V>
unsigned shadowRays(ShadowPacket& rays) {
    V d[3];
    for (int a = 0; a < 3; ++a) d[a] = V::load(rays.target[a]) - V::load(rays.origin[a]);
    const V distance = V::lengthViaDouble(d[0], d[1], d[2]);
    for (int a = 0; a < 3; ++a) (d[a] / distance).store(rays.direction[a]);
    const V reach = V::set1(0.999f) * distance;
    reach.store(rays.maxDistance);
    return V::bits(V::gt(reach, V::set1(0.0f)));
}

}  // namespace
}  // namespace lumo
