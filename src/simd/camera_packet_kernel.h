// The camera packet kernel, written once over a lane type and built per instruction-set level by
// the units that include this (camera_packets_sse41.cpp, _avx2.cpp, _avx512.cpp). It repeats the
// scalar camera walk for a single leaf lane by lane: ray direction, box entry, the free object, the
// leaf's objects in order with the walk's acceptance rule. Internal linkage throughout, for the
// reason given in lanes_x86.h.
#pragma once

#include "simd/camera_packets.h"
#include "simd/lanes_x86.h"

namespace lumo {
namespace {

template <class V>
struct CameraPacketTracer {
    using M = typename V::M;
    static constexpr int kLanes = V::kLanes;

    const CameraPacketFrame& f;
    V d[3];
    const float eye[3];

    CameraPacketTracer(const CameraPacketFrame& frame, float row, const float* column)
        : f(frame), eye{frame.eye.x, frame.eye.y, frame.eye.z} {
        // (corner + row * rowStep) + column * columnStep, then divided by its length taken in double.
        const V x = V::load(column);
        const float base[3] = {f.cameraCorner.x + row * f.rowStep.x, f.cameraCorner.y + row * f.rowStep.y,
                               f.cameraCorner.z + row * f.rowStep.z};
        const float step[3] = {f.columnStep.x, f.columnStep.y, f.columnStep.z};
        for (int a = 0; a < 3; ++a) d[a] = V::set1(base[a]) + x * V::set1(step[a]);
        const V length = V::lengthViaDouble(d[0], d[1], d[2]);
        for (int a = 0; a < 3; ++a) d[a] = d[a] / length;
    }

    V dot3(const float* v) const { return (d[0] * V::set1(v[0]) + d[1] * V::set1(v[1])) + d[2] * V::set1(v[2]); }
    V along(int a, V t) const { return V::set1(eye[a]) + t * d[a]; }

    // Lanes that walk the tree: the eye inside the box, or a positive entry within the box's faces.
    M entersBox() const {
        const CameraBoxCache& c = f.box;
        if (c.eyeInside) return V::all();
        const V miss = V::set1(-1.0f), zero = V::set1(0.0f);
        V tEnter[3];
        for (int a = 0; a < 3; ++a)
            tEnter[a] = c.outside[a] ? V::select(V::eq(d[a], zero), V::set1(c.plane[a] - eye[a]) / d[a], miss) : miss;
        const M above1 = V::gt(tEnter[1], tEnter[0]);
        V t = V::select(above1, tEnter[0], tEnter[1]);
        const M above2 = V::gt(tEnter[2], t);
        t = V::select(above2, t, tEnter[2]);
        const M entryAxis[3] = {V::mnot(V::mor(above1, above2)), V::mandnot(above2, above1), above2};
        const float lo[3] = {f.bounds.min.x, f.bounds.min.y, f.bounds.min.z};
        const float hi[3] = {f.bounds.max.x, f.bounds.max.y, f.bounds.max.z};
        M ok = V::gt(t, zero);
        for (int a = 0; a < 3; ++a) {
            const V p = along(a, t);
            const M outsideFace = V::mor(V::lt(p, V::set1(lo[a])), V::gt(p, V::set1(hi[a])));
            ok = V::mand(ok, V::mor(entryAxis[a], V::mnot(outsideFace)));
        }
        return ok;
    }

    // Distance to shape s as the scalar camera routine leaves it (-1 for a miss).
    V distanceTo(const PacketShape& s) const {
        const V miss = V::set1(-1.0f), zero = V::set1(0.0f);
        switch (s.kind) {
            case kPacketSphere: {
                const V b = dot3(s.p);
                const V disc = b * b - V::set1(s.term);
                return V::select(V::lt(disc, zero), -b - V::sqrt(disc), miss);
            }
            case kPacketTriangle:
            case kPacketParallelogram: {
                const V a = dot3(s.n);
                M missed = V::eq(a, zero);
                if (s.oneSided) missed = V::mor(missed, V::ge(a, zero));
                const V t = V::set1(s.term) / a;
                const M notAhead = V::mnot(V::gt(t, zero));  // the distance stays as it is
                const V di = along(static_cast<int>(s.axisI), t) - V::set1(s.p[s.axisI]);
                const V dj = along(static_cast<int>(s.axisJ), t) - V::set1(s.p[s.axisJ]);
                const V ai = V::set1(s.edge[0]);
                const V v = (dj * ai - di * V::set1(s.edge[1])) * V::set1(s.inverseDeterminant);
                const V u = (di - v * V::set1(s.edge[2])) / ai;
                const V one = V::set1(1.0f);
                M outside = V::mor(V::lt(v, zero), V::lt(u, zero));
                if (s.kind == kPacketTriangle)
                    outside = V::mor(outside, V::gt(u + v, one));
                else
                    outside = V::mor(outside, V::mor(V::gt(u, one), V::gt(v, one)));
                missed = V::mor(missed, V::mandnot(notAhead, outside));
                return V::select(missed, t, miss);
            }
            case kPacketDisc: {
                const V a = dot3(s.n);
                const V t = V::set1(s.term) / a;
                const V qx = along(0, t) - V::set1(s.p[0]), qy = along(1, t) - V::set1(s.p[1]),
                        qz = along(2, t) - V::set1(s.p[2]);
                const V r2 = (qx * qx + qy * qy) + qz * qz;
                const M missed = V::mor(V::mor(V::eq(a, zero), V::le(t, zero)),
                                        V::mor(V::gt(r2, V::set1(s.radii[0])), V::lt(r2, V::set1(s.radii[1]))));
                return V::select(missed, t, miss);
            }
            default: {
                alignas(64) float lane[3][kLanes];
                alignas(64) float t[kLanes];
                for (int a = 0; a < 3; ++a) d[a].store(lane[a]);
                for (int k = 0; k < kLanes; ++k) {
                    HitRecord h{};
                    intersectCameraForm(*s.object, *s.cache, f.eye, Vec3{lane[0][k], lane[1][k], lane[2][k]}, h);
                    t[k] = h.distance;
                }
                return V::load(t);
            }
        }
    }

    void run(PacketHits& out) const {
        const V zero = V::set1(0.0f);
        V nearest = V::set1(-1.0f);
        V winner = V::set1(-1.0f);
        int i = 0;
        if (f.firstIsFree) {  // taken as it is, hit or miss, before the box
            nearest = distanceTo(f.shapes[0]);
            winner = zero;
            i = 1;
        }
        const M walk = entersBox();
        if (V::bits(walk) != 0) {
            for (; i < f.shapeCount; ++i) {
                const V t = distanceTo(f.shapes[i]);
                const M accept = V::mand(V::mand(walk, V::ge(t, zero)),
                                         V::mor(V::lt(nearest, zero), V::lt(t, nearest)));
                nearest = V::select(accept, nearest, t);
                winner = V::select(accept, winner, V::set1(static_cast<float>(i)));
            }
        }
        for (int a = 0; a < 3; ++a) d[a].store(out.direction[a]);
        nearest.store(out.distance);
        alignas(64) float w[kLanes];
        winner.store(w);
        for (int k = 0; k < kLanes; ++k) out.shape[k] = static_cast<int32_t>(w[k]);
    }
};

template <class V>
void traceCameraPacket(const CameraPacketFrame& frame, float row, const float* column, PacketHits& out) {
    CameraPacketTracer<V>(frame, row, column).run(out);
}

}  // namespace
}  // namespace lumo
