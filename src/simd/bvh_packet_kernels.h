// Packets through a scene's BVH, written once over a lane type (included by packet_kernels.h). A
// node's child boxes are tested for the packet's lanes still walking; a child goes on the stack with
// the lanes that meet it, the children ordered by where the packet first enters them. Each lane
// computes what the single-ray walk computes (intersect/bvh_walk.h) with the same operations: boxes, the
// watertight triangle test (lanes with an edge function of exactly zero by the scalar routine), other
// objects lane by lane by their scalar routines. Internal linkage, for the reason given in lanes_x86.h.
#pragma once

#include <cstring>
#include <limits>

#include "simd/camera_packets.h"
#include "simd/lanes_x86.h"

namespace lumo {
namespace {

template <class V>
struct BvhPacketRays {
    using M = typename V::M;
    static constexpr int kLanes = V::kLanes;

    V o[3], d[3], inv[3], sx, sy, sz;
    M nearHigh[3];
    M kx1, kx2, ky1, ky2, kz1, kz2;  // which component an axis picks (else 0)
    alignas(64) float lane[6][kLanes];  // origins and directions, lane by lane

    // Fills the lanes' set-up from o and d: what bvhRay computes for one ray, with the same operations.
    void prepare() {
        singleMade = 0;
        for (int a = 0; a < 3; ++a) o[a].store(lane[a]), d[a].store(lane[3 + a]);
        const V zero = V::set1(0.0f), one = V::set1(1.0f), two = V::set1(2.0f);
        V magnitude[3];
        for (int a = 0; a < 3; ++a) {
            // A zero component is taken as a tiny one of its sign (1 / -0 is -infinity).
            const V tiny = V::select(V::lt(one / d[a], zero), V::set1(1e-30f), V::set1(-1e-30f));
            inv[a] = one / V::select(V::eq(d[a], zero), d[a], tiny);
            nearHigh[a] = V::mnot(V::ge(inv[a], zero));
            magnitude[a] = V::select(V::lt(d[a], zero), d[a], -d[a]);
        }
        // The dominant axis kz as shearRay picks it, then kx and ky after it, swapped where d[kz] < 0.
        const M xOverY = V::gt(magnitude[0], magnitude[1]);
        const M z0 = V::mand(xOverY, V::gt(magnitude[0], magnitude[2]));
        const M z1 = V::mandnot(xOverY, V::gt(magnitude[1], magnitude[2]));
        const V kz = V::select(z0, V::select(z1, two, one), zero);
        const V dz = pick(d, V::eq(kz, one), V::eq(kz, two));
        V kx = V::select(z0, V::select(z1, zero, two), one);
        V ky = V::select(z0, V::select(z1, one, zero), two);
        const M flip = V::lt(dz, zero);
        const V kxFlipped = V::select(flip, kx, ky);
        ky = V::select(flip, ky, kx), kx = kxFlipped;
        kx1 = V::eq(kx, one), kx2 = V::eq(kx, two), ky1 = V::eq(ky, one), ky2 = V::eq(ky, two);
        kz1 = V::eq(kz, one), kz2 = V::eq(kz, two);
        sx = pick(d, kx1, kx2) / dz, sy = pick(d, ky1, ky2) / dz, sz = one / dz;
    }
    Vec3 origin(int k) const { return {lane[0][k], lane[1][k], lane[2][k]}; }
    // Lane k as a single ray, made when first asked for.
    const BvhRay& single(int k) const {
        if (!(singleMade & (1u << k))) singles[k] = bvhRayForm(origin(k), direction(k)), singleMade |= 1u << k;
        return singles[k];
    }
    mutable BvhRay singles[kLanes];
    mutable unsigned singleMade = 0;
    Vec3 direction(int k) const { return {lane[3][k], lane[4][k], lane[5][k]}; }

    static V pick(const V* a, M is1, M is2) { return V::select(is2, V::select(is1, a[0], a[1]), a[2]); }
    static V maxOf(V a, V b) { return V::select(V::gt(a, b), b, a); }  // a > b ? a : b
    static V minOf(V a, V b) { return V::select(V::lt(a, b), b, a); }  // a < b ? a : b

    // The lanes of `active` that meet child k of n within [0, limit], and where they enter it.
    M box(const BvhNode& n, int k, V limit, M active, V& enter) const {
        V tNear = V::set1(0.0f), tFar = limit;
        for (int a = 0; a < 3; ++a) {
            const V lo = V::set1(n.lo[a][k]), hi = V::set1(n.hi[a][k]);
            tNear = maxOf((V::select(nearHigh[a], lo, hi) - o[a]) * inv[a], tNear);
            tFar = minOf((V::select(nearHigh[a], hi, lo) - o[a]) * inv[a], tFar);
        }
        enter = tNear;
        return V::mand(active, V::le(tNear, tFar * V::set1(kBvhBoxReach)));
    }

    // The distance to triangle t (-1: a miss) and its weights u, v of the second and third corner,
    // for every lane; the lanes of `active` with an edge function of zero by the scalar routine.
    V triangle(const MeshStore& m, uint32_t t, M active, V& u, V& v) const {
        const uint32_t* i = m.triangle(t);
        const Vec3* p[3] = {&m.positions[i[0]], &m.positions[i[1]], &m.positions[i[2]]};
        V A[3], B[3], C[3];
        const float pa[3] = {p[0]->x, p[0]->y, p[0]->z}, pb[3] = {p[1]->x, p[1]->y, p[1]->z},
                    pc[3] = {p[2]->x, p[2]->y, p[2]->z};
        for (int a = 0; a < 3; ++a)
            A[a] = V::set1(pa[a]) - o[a], B[a] = V::set1(pb[a]) - o[a], C[a] = V::set1(pc[a]) - o[a];
        const V az = pick(A, kz1, kz2), bz = pick(B, kz1, kz2), cz = pick(C, kz1, kz2);
        const V ax = pick(A, kx1, kx2) - sx * az, ay = pick(A, ky1, ky2) - sy * az;
        const V bx = pick(B, kx1, kx2) - sx * bz, by = pick(B, ky1, ky2) - sy * bz;
        const V cx = pick(C, kx1, kx2) - sx * cz, cy = pick(C, ky1, ky2) - sy * cz;
        const V eu = cx * by - cy * bx, ev = ax * cy - ay * cx, ew = bx * ay - by * ax;
        const V zero = V::set1(0.0f);
        const M negative = V::mor(V::mor(V::lt(eu, zero), V::lt(ev, zero)), V::lt(ew, zero));
        const M positive = V::mor(V::mor(V::gt(eu, zero), V::gt(ev, zero)), V::gt(ew, zero));
        const V det = eu + ev + ew;
        const V tt = (eu * (sz * az) + ev * (sz * bz) + ew * (sz * cz)) / det;
        const M miss = V::mor(V::mor(V::mand(negative, positive), V::eq(det, zero)), V::mnot(V::ge(tt, zero)));
        u = ev / det;
        v = ew / det;
        V result = V::select(miss, tt, V::set1(-1.0f));
        const M onEdge = V::mand(active, V::mor(V::mor(V::eq(eu, zero), V::eq(ev, zero)), V::eq(ew, zero)));
        if (const unsigned lanes = V::bits(onEdge)) {
            alignas(64) float rt[kLanes], ru[kLanes], rv[kLanes];
            result.store(rt), u.store(ru), v.store(rv);
            for (int k = 0; k < kLanes; ++k)
                if (lanes & (1u << k)) {
                    const TriangleHit h = meshTriangleHitForm(m, t, origin(k), direction(k));
                    rt[k] = h.distance, ru[k] = h.u, rv[k] = h.v;
                }
            result = V::load(rt), u = V::load(ru), v = V::load(rv);
        }
        return result;
    }
};

// A float lane holding the bits of a triangle number: non-negative floats order as their bits do.
inline float triangleBits(uint32_t t) {
    float f;
    std::memcpy(&f, &t, sizeof f);
    return f;
}

// Lanes from bits: bit k set in `lanes` sets lane k.
template <class V>
typename V::M laneMask(unsigned lanes) {
    alignas(64) float f[V::kLanes];
    for (int k = 0; k < V::kLanes; ++k) f[k] = (lanes & (1u << k)) ? 1.0f : 0.0f;
    return V::gt(V::load(f), V::set1(0.0f));
}

// Packets with at most this many lanes still walking go on as single rays, one lane after the other:
// a node's or a triangle's test for every lane then costs more than the lanes' single-ray walks (by
// instruction counts: none of 4 lanes, one of 8, two of 16).
template <class V>
inline constexpr int kBvhSingleLanes = V::kLanes / 8;

// The walk itself: leaf(child, count, lanes) tests a leaf for the lanes; limit() each lane's reach;
// single(slot, lanes) finishes the walk below a child slot for each lane by the single-ray walk.
template <class V, class Walk>
void walkBvhPacket(const CameraPacketFrame& f, const BvhPacketRays<V>& r, Walk& w) {

    using M = typename V::M;
    struct Entry {
        uint32_t child, count;
        M lanes;
    };
    Entry stack[kMaxBvhDepth * (kBvhWidth - 1) + 1];
    int top = 0;
    stack[top++] = {0, 0, V::all()};
    const V far = V::set1(std::numeric_limits<float>::infinity());
    while (top > 0) {
        const Entry e = stack[--top];
        const M lanes = w.walking(e.lanes);
        const unsigned bits = V::bits(lanes);
        if (!bits) continue;
        if (__builtin_popcount(bits) <= kBvhSingleLanes<V>) {
            w.single(BvhRef{e.child, e.count}, bits);
            continue;
        }
        if (e.count) {
            w.leaf(e.child, e.count, lanes);
            continue;
        }
        const BvhNode& node = f.bvhNodes[e.child];
        const V limit = w.limit();
        Entry met[kBvhWidth];
        float first[kBvhWidth];
        int n = 0;
        for (int k = 0; k < kBvhWidth; ++k) {
            V enter;
            const M hit = r.box(node, k, limit, lanes, enter);
            if (!V::bits(hit)) continue;
            alignas(64) float m[V::kLanes];
            V::minAll(V::select(hit, far, enter)).store(m);
            const Entry c{node.child[k], node.count[k], hit};
            int j = n++;
            while (j > 0 && first[j - 1] < m[0]) met[j] = met[j - 1], first[j] = first[j - 1], --j;
            met[j] = c, first[j] = m[0];
        }
        for (int j = 0; j < n; ++j) stack[top++] = met[j];
    }
}

// A camera packet's nearest hits, as the single-ray camera walk finds them.
template <class V>
struct BvhCameraWalk {
    using M = typename V::M;
    const CameraPacketFrame& f;
    const BvhPacketRays<V>& r;
    V nearest, u, v, triangle, byTriangle;  // byTriangle: 1 where a mesh triangle is the best hit
    HitRecord* records;                       // the other best hits

    M walking(M lanes) const { return lanes; }
    // Each lane's best hit so far becomes the single-ray walk's record and comes back from it.
    void single(BvhRef at, unsigned lanes) {
        alignas(64) float best[V::kLanes], bu[V::kLanes], bv[V::kLanes], bt[V::kLanes], won[V::kLanes];
        nearest.store(best), u.store(bu), v.store(bv), triangle.store(bt), byTriangle.store(won);
        const MeshStore& m = *f.meshes;
        for (; lanes; lanes &= lanes - 1) {
            const int k = __builtin_ctz(lanes);
            HitRecord h = records[k];
            if (won[k] > 0.0f) {
                h = HitRecord{};
                std::memcpy(&h.triangle, &bt[k], sizeof h.triangle);
                h.u = bu[k], h.v = bv[k], h.object = m.object(h.triangle);
            }
            h.distance = best[k];
            const BvhRay& ray = r.single(k);
            cameraWalkFrom(*f.scene, ray, at, h);
            best[k] = h.distance;
            if (h.object && h.object->type == kMeshFaces) {  // a triangle: mesh parts are never leaf objects
                bu[k] = h.u, bv[k] = h.v, bt[k] = triangleBits(h.triangle), won[k] = 1.0f;
            } else {
                records[k] = h, won[k] = 0.0f;
            }
        }
        nearest = V::load(best), u = V::load(bu), v = V::load(bv), triangle = V::load(bt), byTriangle = V::load(won);
    }
    V limit() const {
        return V::select(V::ge(nearest, V::set1(0.0f)), V::set1(std::numeric_limits<float>::infinity()), nearest);
    }
    void leaf(uint32_t first, uint32_t count, M lanes) {
        const V zero = V::set1(0.0f);
        if (count & kBvhObjectLeaf) {
            alignas(64) float best[V::kLanes], won[V::kLanes];
            nearest.store(best), byTriangle.store(won);
            const unsigned bits = V::bits(lanes);
            for (uint32_t i = first; i != first + (count & ~kBvhObjectLeaf); ++i) {
                SceneObject* object = f.objectTable[f.bvhObjects[i]];
                if (object->flags & kHiddenFromCamera) continue;
                for (int k = 0; k < V::kLanes; ++k) {
                    if (!(bits & (1u << k))) continue;
                    HitRecord h{};
                    intersectNearerForm(*object, r.origin(k), r.direction(k), best[k], h);
                    if (h.distance < 0.0f || !(best[k] < 0.0f || h.distance < best[k])) continue;
                    h.object = object;
                    records[k] = h;
                    best[k] = h.distance, won[k] = 0.0f;
                }
            }
            nearest = V::load(best), byTriangle = V::load(won);
            return;
        }
        const MeshStore& m = *f.meshes;
        for (uint32_t t = first; t != first + count; ++t) {
            V tu, tv;
            const V tt = r.triangle(m, t, lanes, tu, tv);
            const V id = V::set1(triangleBits(t));
            const M tie = V::mand(V::mand(V::eq(tt, nearest), V::gt(byTriangle, zero)), V::gt(triangle, id));
            const M closer = V::mor(V::mor(V::lt(nearest, zero), V::lt(tt, nearest)), tie);
            const M take = V::mand(V::mand(lanes, V::ge(tt, zero)), closer);
            if (!V::bits(take)) continue;
            if (m.object(t)->flags & kHiddenFromCamera) continue;
            nearest = V::select(take, nearest, tt);
            u = V::select(take, u, tu);
            v = V::select(take, v, tv);
            triangle = V::select(take, triangle, id);
            byTriangle = V::select(take, byTriangle, V::set1(1.0f));
        }
    }
};

template <class V>
void traceCameraPacketBvh(const CameraPacketFrame& f, BvhPacketRays<V>& r, PacketHits& out) {
    r.prepare();
    alignas(64) float best[V::kLanes];
    HitRecord records[V::kLanes];
    for (int k = 0; k < V::kLanes; ++k) {
        records[k] = HitRecord{};
        records[k].distance = -1.0f;
        if (f.freeObject) {  // taken as it is, hit or miss, before the tree
            intersectCameraForm(*f.freeObject, *f.freeCache, r.origin(k), r.direction(k), records[k]);
            records[k].object = const_cast<SceneObject*>(f.freeObject);
        }
        best[k] = records[k].distance;
    }
    const V zero = V::set1(0.0f);
    BvhCameraWalk<V> w{f, r, V::load(best), zero, zero, zero, zero, records};
    walkBvhPacket(f, r, w);
    w.nearest.store(out.distance);
    alignas(64) float u[V::kLanes], v[V::kLanes], triangle[V::kLanes], byTriangle[V::kLanes];
    w.u.store(u), w.v.store(v), w.triangle.store(triangle), w.byTriangle.store(byTriangle);
    out.recorded = 0;
    for (int k = 0; k < V::kLanes; ++k) {
        out.shape[k] = out.distance[k] >= 0.0f ? 0 : -1;
        if (out.shape[k] < 0) continue;
        if (byTriangle[k] > 0.0f) {
            HitRecord h{};
            std::memcpy(&h.triangle, &triangle[k], sizeof h.triangle);
            h.distance = out.distance[k], h.u = u[k], h.v = v[k];
            h.object = f.meshes->object(h.triangle);
            out.records[k] = h;
        } else {
            out.records[k] = records[k];
        }
        out.recorded |= 1u << k;
    }
}

// A shadow packet's blockers, as the single-ray occlusion walk decides.
template <class V>
struct BvhOcclusionWalk {
    using M = typename V::M;
    const CameraPacketFrame& f;
    const BvhPacketRays<V>& r;
    V maxDistance, exclude;
    M done;
    V first;

    M walking(M lanes) const { return V::mandnot(done, lanes); }
    V limit() const { return maxDistance; }
    void single(BvhRef at, unsigned lanes) {
        alignas(64) float blocker[V::kLanes], reach[V::kLanes], self[V::kLanes];
        first.store(blocker), maxDistance.store(reach), exclude.store(self);
        unsigned blocked = 0;
        for (; lanes; lanes &= lanes - 1) {
            const int k = __builtin_ctz(lanes);
            const BvhRay& ray = r.single(k);
            const SceneObject* from = self[k] >= 0.0f ? f.objectTable[static_cast<int>(self[k])] : nullptr;
            const float t = occlusionWalkFrom(*f.scene, ray, at, reach[k], f.lightObject, from);
            if (t > 0.0f) blocker[k] = t, blocked |= 1u << k;
        }
        if (!blocked) return;
        first = V::load(blocker);
        done = V::mor(done, laneMask<V>(blocked));
    }
    void leaf(uint32_t begin, uint32_t count, M lanes) {
        const V zero = V::set1(0.0f);
        if (count & kBvhObjectLeaf) {
            alignas(64) float blocker[V::kLanes], reach[V::kLanes], self[V::kLanes], ended[V::kLanes];
            first.store(blocker), maxDistance.store(reach), exclude.store(self);
            V::select(done, zero, V::set1(1.0f)).store(ended);
            const unsigned bits = V::bits(lanes);
            for (uint32_t i = begin; i != begin + (count & ~kBvhObjectLeaf); ++i) {
                const SceneObject* object = f.objectTable[f.bvhObjects[i]];
                if ((object->flags & kNoShadowCast) || object == f.lightObject) continue;
                for (int k = 0; k < V::kLanes; ++k) {
                    if (!(bits & (1u << k)) || ended[k] > 0.0f) continue;
                    HitRecord h{};
                    intersectBlockerForm(*object, r.origin(k), r.direction(k), h);
                    const float t = h.distance;
                    if (self[k] == static_cast<float>(object->index) && t < 0.0001f) continue;
                    if (t > reach[k] || t <= 0.0f) continue;
                    blocker[k] = t, ended[k] = 1.0f;
                }
            }
            first = V::load(blocker);
            done = V::gt(V::load(ended), zero);
            return;
        }
        const MeshStore& m = *f.meshes;
        for (uint32_t t = begin; t != begin + count; ++t) {
            const M pending = V::mandnot(done, lanes);
            if (!V::bits(pending)) return;
            V tu, tv;
            const V tt = r.triangle(m, t, pending, tu, tv);
            M hit = V::mand(pending, V::mand(V::gt(tt, zero), V::le(tt, maxDistance)));
            if (!V::bits(hit)) continue;
            const SceneObject* object = m.object(t);
            if ((object->flags & kNoShadowCast) || object == f.lightObject) continue;
            const M self = V::mand(V::eq(exclude, V::set1(static_cast<float>(object->index))), V::lt(tt, V::set1(0.0001f)));
            hit = V::mandnot(self, hit);
            first = V::select(hit, first, tt);
            done = V::mor(done, hit);
        }
    }
};

template <class V>
unsigned occludePacketBvh(const CameraPacketFrame& f, BvhPacketRays<V>& r, const ShadowPacket& rays, unsigned lanes) {
    r.prepare();
    const V zero = V::set1(0.0f);
    BvhOcclusionWalk<V> w{f, r, V::load(rays.maxDistance), V::load(rays.exclude), V::mnot(laneMask<V>(lanes)), zero};
    walkBvhPacket(f, r, w);
    return V::bits(V::gt(w.first, zero)) & lanes;
}

}  // namespace
}  // namespace lumo
