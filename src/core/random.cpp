#include "core/random.h"

#include <bit>
#include <cmath>

#include "core/vec3.h"

namespace lumo {

void Random::seed(uint32_t s) {
    for (int i = 0; i < 34; ++i) {
        s = s * 2891336453u + 1u;
        ring[i / 2][i % 2] = s;
    }
    p1 = 0;
    p2 = 10;
    for (int i = 0; i < 32; ++i) next();
}

double Random::next() {
    const uint32_t y = std::rotl(ring[p1][0], 19) + ring[p2][0];
    const uint32_t z = std::rotl(ring[p1][1], 27) + ring[p2][1];
    ring[p1][0] = z;
    ring[p1][1] = y;
    p1 = p1 == 0 ? 16 : p1 - 1;
    p2 = p2 == 0 ? 16 : p2 - 1;
    // A double in [1, 2) with 32 random mantissa bits, built directly from the words.
    const uint64_t bits = (static_cast<uint64_t>((z >> 12) | 0x3FF00000u) << 32) | static_cast<uint32_t>(y << 20);
    return std::bit_cast<double>(bits) - 1.0;
}

namespace {

Vec3 directionFromHeight(double z, double phi) {
    const double r = std::sqrt(1.0 - z * z);
    return {static_cast<float>(r * std::cos(phi)), static_cast<float>(r * std::sin(phi)), static_cast<float>(z)};
}

}  // namespace

Vec3 uniformSphereDirection(Random& rng) {
    const double u1 = rng.next();
    const double u2 = rng.next();
    return directionFromHeight(2.0 * u1 - 1.0, u2 * kTwoPi);
}

Vec3 uniformBandDirection(Random& rng, float sweep, float latMin, float latMax) {
    const double u1 = rng.next();
    const double u2 = rng.next();
    const double lo = std::sin(static_cast<double>(latMin));
    const double hi = std::sin(static_cast<double>(latMax));
    return directionFromHeight(lo + u1 * (hi - lo), u2 * sweep);
}

Vec3 sqrtBandDirection(Random& rng, float sweep, float latMin, float latMax) {
    const double u1 = rng.next();
    const double u2 = rng.next();
    const double lo = std::sin(static_cast<double>(latMin));
    const double hi = std::sin(static_cast<double>(latMax));
    return directionFromHeight(std::sqrt(lo + u1 * (hi - lo)), u2 * sweep);
}

Vec3 cosineDirection(Random& rng, const Vec3& n) {
    const double u1 = rng.next();
    const double u2 = rng.next();
    const double c = std::sqrt(u1);  // cosine of the angle to n
    const double s = std::sqrt(1.0 - c * c);
    const double phi = u2 * kTwoPi;
    const double nx = n.x, ny = n.y, nz = n.z;
    Vec3 d;
    // Both frames are orthonormal around n; the second avoids dividing by a tiny nx^2 + ny^2.
    if (std::fabs(nx) >= 0.015625 || std::fabs(ny) >= 0.015625) {
        const double m = nx * nx + ny * ny;
        const double k = s / std::sqrt(m);
        const double a = k * std::cos(phi), b = k * std::sin(phi);
        d = {static_cast<float>(nx * (c - nz * b) - ny * a), static_cast<float>(ny * (c - nz * b) + nx * a),
             static_cast<float>(c * nz + b * m)};
    } else {
        const double m = nx * nx + nz * nz;
        const double k = s / std::sqrt(m);
        const double a = k * std::cos(phi), b = k * std::sin(phi);
        d = {static_cast<float>(nx * (c - ny * b) + nz * a), static_cast<float>(ny * c + b * m),
             static_cast<float>(nz * (c - ny * b) - nx * a)};
    }
    return normalize(d);
}

}  // namespace lumo
