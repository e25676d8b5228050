#include "intersect/torus.h"

#include <cmath>

#include "core/matrix34.h"
#include "intersect/polynomial.h"
#include "intersect/shape_math.h"

namespace lumo {

void intersectTorus(const SceneObject& o, const Vec3& origin, const Vec3& direction, HitRecord& out,
                    bool distanceOnly) {
    const Torus& tr = o.torus;
    Vec3 dl = transformDirection(direction, tr.worldToLocal);
    const Vec3 ol = transformPoint(origin, tr.worldToLocal);
    const float len = static_cast<float>(length(dl));
    dl = divScalar(dl, len);

    // Quartic in the unit-direction parameter s, coefficients in double precision.
    const float majorR = tr.majorRadius;
    const float minorR = tr.minorRadius;
    const double a = static_cast<double>(majorR) * majorR;
    const double olx = ol.x, oly = ol.y, olz = ol.z;
    const double dlx = dl.x, dly = dl.y, dlz = dl.z;
    const double originSquared = olx * olx + oly * oly + olz * olz;
    const double e = olx * dlx + oly * dly + olz * dlz;
    // The torus lies within the sphere of radius R + r about its centre. A line that passes that
    // sphere with room to spare, or an origin outside it with the ray heading away, has no root
    // worth solving for; the margin keeps every ray that could graze the tube on the full test.
    const double bound = (std::fabs(static_cast<double>(majorR)) + std::fabs(minorR)) * 1.001 + 1e-4;
    const double boundSquared = bound * bound;
    if (originSquared - e * e > boundSquared || (e >= 0.0 && originSquared > boundSquared)) {
        out.distance = isect::kMiss;
        return;
    }
    const double k = originSquared - a - static_cast<double>(minorR) * minorR;
    const double coefficients[5] = {
        1.0,
        4.0 * e,
        4.0 * e * e + 4.0 * a * dlz * dlz + 2.0 * k,
        4.0 * (e * k + 2.0 * a * olz * dlz),
        k * k + 4.0 * a * (olz * olz - static_cast<double>(minorR) * minorR),
    };
    double roots[4];
    const int count = solveQuartic(coefficients, roots);
    if (count == 0) {
        out.distance = isect::kMiss;
        return;
    }
    for (int i = 0; i < count; ++i) roots[i] /= len;
    sortAscending(count, roots);
    if (distanceOnly && tr.sweep == 0.0f) {  // the first root ahead is the hit
        for (int i = 0; i < count; ++i)
            if (roots[i] >= isect::kRootEpsilon) {
                out.distance = static_cast<float>(roots[i]);
                return;
            }
        out.distance = isect::kMiss;
        return;
    }

    for (int i = 0; i < count; ++i) {
        const double t = roots[i];
        out.distance = static_cast<float>(t);
        const Vec3 p = isect::pointAlong(ol, static_cast<float>(t * len), dl);

        // Tube centre nearest the point; the second candidate covers the dead zone of polarAngle.
        const float phi = polarAngle(p.x, p.y);
        const float phiOpposite = phi + kPi;
        const Vec3 c1 = {majorR * static_cast<float>(std::cos(phi)), majorR * static_cast<float>(std::sin(phi)), 0.0f};
        const Vec3 c2 = {majorR * static_cast<float>(std::cos(phiOpposite)),
                         majorR * static_cast<float>(std::sin(phiOpposite)), 0.0f};
        const Vec3 toC1 = sub(p, c1);
        const Vec3 toC2 = sub(p, c2);
        const float e1 = std::fabs(static_cast<float>(length(toC1)) - minorR);
        const float e2 = std::fabs(static_cast<float>(length(toC2)) - minorR);
        if (e2 > e1) {
            out.v = phi;
            out.normal = normalize(toC1);
        } else {
            out.v = phiOpposite;
            out.normal = normalize(toC2);
        }
        const Vec3 radial = {static_cast<float>(std::cos(out.v)), static_cast<float>(std::sin(out.v)), 0.0f};
        const double c = isect::dotf(out.normal, radial);
        const float theta = static_cast<float>(p.z >= 0.0f ? safeAcos(c) : kTwoPi - safeAcos(c));
        out.u = theta;

        if (t >= isect::kRootEpsilon &&
            (tr.sweep == 0.0f || (out.v <= tr.sweep && angleInRange(theta, tr.tubeStart, tr.tubeEnd)))) {
            return;
        }
    }
    out.distance = isect::kMiss;
}

}  // namespace lumo
