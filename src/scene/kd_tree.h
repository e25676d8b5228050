// Hand-built axis-aligned subdivision trees, as the scene builders write them before the scene turns
// them into its flat tree (scene/accel.h).
#pragma once

#include <cstdint>
#include <vector>

#include "core/vec3.h"

namespace lumo {

struct KdNode {
    uint32_t id = 0;       // its position among the scene's hand-built nodes
    int32_t axis = 0;      // 0 leaf, 1 x, 2 y, 3 z
    float split = 0.0f;
    uint32_t below = 0;    // inner node: id of the child with coordinate < split
    uint32_t above = 0;    // inner node: id of the child with coordinate >= split
    std::vector<uint32_t> objects;  // leaf: object indices, in list order
};

struct Box {
    Vec3 min;
    Vec3 max;
};

}  // namespace lumo
