// The ray-triangle test of mesh triangles, watertight: the triangle's corners are moved into a frame
// where the ray runs along +z from the origin (a shear along the ray's dominant axis), and the three
// edge functions are taken there from the corners alone. A shared edge of two triangles gets the
// same value with opposite signs in both, so a ray through it (or through a shared corner) hits at
// least one of them; an edge function of exactly zero is recomputed in double, which decides the
// sign without rounding. Both sides of the triangle are hit.
#pragma once

#include <cmath>

#include "core/vec3.h"

namespace lumo {

// What the test needs of a ray, computed once per ray.
struct ShearedRay {
    Vec3 origin;
    int kx, ky, kz;    // the axes: kz the dominant one of the direction
    float sx, sy, sz;  // the shear: dx/dz, dy/dz and 1/dz along those axes
};

inline float axisOf(const Vec3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }

inline ShearedRay shearRay(const Vec3& origin, const Vec3& direction) {
    ShearedRay r;
    r.origin = origin;
    const float ax = std::fabs(direction.x), ay = std::fabs(direction.y), az = std::fabs(direction.z);
    r.kz = ax > ay ? (ax > az ? 0 : 2) : (ay > az ? 1 : 2);
    r.kx = r.kz == 2 ? 0 : r.kz + 1;
    r.ky = r.kx == 2 ? 0 : r.kx + 1;
    const float dz = axisOf(direction, r.kz);
    if (dz < 0.0f) {  // keep the winding: a mirrored frame would turn every edge function's sign
        const int k = r.kx;
        r.kx = r.ky;
        r.ky = k;
    }
    r.sx = axisOf(direction, r.kx) / dz;
    r.sy = axisOf(direction, r.ky) / dz;
    r.sz = 1.0f / dz;
    return r;
}

// A triangle hit: the distance along the (unit) direction, and the weights of corners b and c.
struct TriangleHit {
    float distance;  // -1: a miss (behind the origin, beside the triangle, or seen edge-on)
    float u, v;
};

inline TriangleHit intersectWatertight(const ShearedRay& r, const Vec3& a, const Vec3& b, const Vec3& c) {
    // The corners relative to the origin as arrays, so that the ray's axes index them.
    const float A[3] = {a.x - r.origin.x, a.y - r.origin.y, a.z - r.origin.z};
    const float B[3] = {b.x - r.origin.x, b.y - r.origin.y, b.z - r.origin.z};
    const float C[3] = {c.x - r.origin.x, c.y - r.origin.y, c.z - r.origin.z};
    const float az = A[r.kz], bz = B[r.kz], cz = C[r.kz];
    const float ax = A[r.kx] - r.sx * az, ay = A[r.ky] - r.sy * az;
    const float bx = B[r.kx] - r.sx * bz, by = B[r.ky] - r.sy * bz;
    const float cx = C[r.kx] - r.sx * cz, cy = C[r.ky] - r.sy * cz;
    float u = cx * by - cy * bx;
    float v = ax * cy - ay * cx;
    float w = bx * ay - by * ax;
    if (u == 0.0f || v == 0.0f || w == 0.0f) {
        const double dax = ax, day = ay, dbx = bx, dby = by, dcx = cx, dcy = cy;
        u = static_cast<float>(dcx * dby - dcy * dbx);
        v = static_cast<float>(dax * dcy - day * dcx);
        w = static_cast<float>(dbx * day - dby * dax);
    }
    const TriangleHit miss{-1.0f, 0.0f, 0.0f};
    if ((u < 0.0f || v < 0.0f || w < 0.0f) && (u > 0.0f || v > 0.0f || w > 0.0f)) return miss;
    const float det = u + v + w;
    if (det == 0.0f) return miss;
    const float t = (u * (r.sz * az) + v * (r.sz * bz) + w * (r.sz * cz)) / det;
    if (!(t >= 0.0f)) return miss;
    return {t, v / det, w / det};
}

}  // namespace lumo
