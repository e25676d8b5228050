// The node of a surface's photon quadtree, as the photon passes build it and the shaders read it.
#pragma once

#include <cstdint>

#include "core/vec3.h"

namespace lumo {

struct Photon;

// Children in quadrant order: 0 low u/low v, 1 high u/low v, 2 low u/high v, 3 high u/high v;
// all four present or none. Corners 0..3 are (u0, v0), (u0 + s, v0), (u0, v0 + s), (u0 + s, v0 + s).
struct PhotonQuadNode {
    Vec3 sum;  // leaf: sum of power x colour of its photons; inner node after sumUp: sum of children
    Vec3 corner00;
    Vec3 corner10;
    Vec3 corner01;
    Vec3 corner11;
    int32_t count;  // photons filed here; a node that has split holds split count + 1
    PhotonQuadNode* children[4];
    Photon* photons;  // list linked through Photon::next
};

}  // namespace lumo
