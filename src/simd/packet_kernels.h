// The packet kernels, written once over a lane type and built per instruction-set level by the units
// that include this (packet_kernels_sse41.cpp, _avx2.cpp, _avx512.cpp). They repeat the scalar walks
// of a single leaf lane by lane. Internal linkage throughout, for the reason given in lanes_x86.h.
#pragma once

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

    // Shapes without a packet form: the scalar routine lane by lane.
    template <class Test>
    V perLane(Test test) const {
        alignas(64) float lane[6][kLanes];
        alignas(64) float t[kLanes];
        for (int a = 0; a < 3; ++a) o[a].store(lane[a]), d[a].store(lane[3 + a]);
        for (int k = 0; k < kLanes; ++k) {
            HitRecord h{};
            test(Vec3{lane[0][k], lane[1][k], lane[2][k]}, Vec3{lane[3][k], lane[4][k], lane[5][k]}, h);
            t[k] = h.distance;
        }
        return V::load(t);
    }

    // Camera form: the origin is the eye, the shapes carry the eye's terms.
    V cameraDistance(const PacketShape& s) const {
        switch (s.kind) {
            case kPacketSphere: {
                const V b = dot3(s.p);
                const V disc = b * b - V::set1(s.term);
                return V::select(V::lt(disc, V::set1(0.0f)), -b - V::sqrt(disc), V::set1(-1.0f));
            }
            case kPacketTriangle:
            case kPacketParallelogram: return patchDistance(s, V::set1(s.term));
            case kPacketDisc: return discDistance(s, V::set1(s.term));
            default:
                return perLane([&](const Vec3& eye, const Vec3& d, HitRecord& h) {
                    intersectCameraForm(*s.object, *s.cache, eye, d, h);
                });
        }
    }

    // General form from each lane's origin.
    V generalDistance(const PacketShape& s) const {
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
            default:
                return perLane([&](const Vec3& origin, const Vec3& d, HitRecord& h) {
                    intersectGeneralForm(*s.object, origin, d, h);
                });
        }
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
    const V zero = V::set1(0.0f), miss = V::set1(-1.0f);

    // Lanes that walk the tree: the eye inside the box, or a positive entry within the box's faces.
    M walk = V::all();
    const CameraBoxCache& c = f.box;
    if (!c.eyeInside) {
        V tEnter[3];
        for (int a = 0; a < 3; ++a)
            tEnter[a] = c.outside[a] ? V::select(V::eq(r.d[a], zero), V::set1(c.plane[a] - eye[a]) / r.d[a], miss) : miss;
        const M above1 = V::gt(tEnter[1], tEnter[0]);
        V t = V::select(above1, tEnter[0], tEnter[1]);
        const M above2 = V::gt(tEnter[2], t);
        t = V::select(above2, t, tEnter[2]);
        const M entryAxis[3] = {V::mnot(V::mor(above1, above2)), V::mandnot(above2, above1), above2};
        const float lo[3] = {f.bounds.min.x, f.bounds.min.y, f.bounds.min.z};
        const float hi[3] = {f.bounds.max.x, f.bounds.max.y, f.bounds.max.z};
        walk = V::gt(t, zero);
        for (int a = 0; a < 3; ++a) {
            const V p = r.along(a, t);
            const M outsideFace = V::mor(V::lt(p, V::set1(lo[a])), V::gt(p, V::set1(hi[a])));
            walk = V::mand(walk, V::mor(entryAxis[a], V::mnot(outsideFace)));
        }
    }

    V nearest = miss;
    V winner = miss;
    int i = 0;
    if (f.firstIsFree) {  // taken as it is, hit or miss, before the box
        nearest = r.cameraDistance(f.shapes[0]);
        winner = zero;
        i = 1;
    }
    if (V::bits(walk) != 0) {
        for (; i < f.shapeCount; ++i) {
            const V t = r.cameraDistance(f.shapes[i]);
            const M accept = V::mand(V::mand(walk, V::ge(t, zero)), V::mor(V::lt(nearest, zero), V::lt(t, nearest)));
            nearest = V::select(accept, nearest, t);
            winner = V::select(accept, winner, V::set1(static_cast<float>(i)));
        }
    }
    for (int a = 0; a < 3; ++a) r.d[a].store(out.direction[a]);
    nearest.store(out.distance);
    alignas(64) float w[V::kLanes];
    winner.store(w);
    for (int k = 0; k < V::kLanes; ++k) out.shape[k] = static_cast<int32_t>(w[k]);
}

template <class V>
unsigned occludePacket(const PacketShape* blockers, int count, const ShadowPacket& rays, unsigned lanes) {
    using M = typename V::M;
    PacketRays<V> r;
    for (int a = 0; a < 3; ++a) r.o[a] = V::load(rays.origin[a]), r.d[a] = V::load(rays.direction[a]);
    const V maxDistance = V::load(rays.maxDistance), exclude = V::load(rays.exclude);
    const V zero = V::set1(0.0f), selfRange = V::set1(0.0001f);
    const unsigned all = V::kLanes == 32 ? ~0u : (1u << V::kLanes) - 1u;
    unsigned done = ~lanes & all;  // lanes that met their first blocker (or carry no ray)
    V first = zero;                // its distance
    for (int i = 0; i < count && done != all; ++i) {
        const PacketShape& s = blockers[i];
        const V t = r.generalDistance(s);
        const M self = V::mand(V::eq(exclude, V::set1(s.index)), V::lt(t, selfRange));
        const M blocker = V::mnot(V::mor(V::mor(self, V::gt(t, maxDistance)), V::lt(t, zero)));
        const unsigned meets = V::bits(blocker) & ~done;
        if (!meets) continue;
        alignas(64) float tv[V::kLanes], fv[V::kLanes];
        t.store(tv);
        first.store(fv);
        for (int k = 0; k < V::kLanes; ++k)
            if (meets & (1u << k)) fv[k] = tv[k];
        first = V::load(fv);
        done |= meets;
    }
    return V::bits(V::gt(first, zero)) & lanes;
}

}  // namespace
}  // namespace lumo
