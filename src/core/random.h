// RANROT-W generator and the random directions drawn from it.
#pragma once

#include <cstdint>

#include "core/vec3.h"

namespace lumo {

// A value type: every user (a frame's photon passes, each worker) owns its own.
struct Random {
    uint32_t ring[17][2];
    int p1 = 0;
    int p2 = 10;

    void seed(uint32_t s);
    double next();  // uniform in [0, 1), 32 random mantissa bits
};

Vec3 uniformSphereDirection(Random& rng);
Vec3 uniformBandDirection(Random& rng, float sweep, float latMin, float latMax);
Vec3 sqrtBandDirection(Random& rng, float sweep, float latMin, float latMax);
Vec3 cosineDirection(Random& rng, const Vec3& n);

}  // namespace lumo
