// Hand-built axis-aligned subdivision tree whose leaves hold object lists.
#pragma once

#include <cstdint>

#include "core/vec3.h"
#include "scene/scene_object.h"

namespace lumo {

struct KdNode {
    // Inner node: child with coordinate < split on axis. Leaf: head of the object list (may be null).
    void* below = nullptr;
    KdNode* above = nullptr;  // inner node: child with coordinate >= split
    float split = 0.0f;
    int32_t axis = 0;         // 0 leaf, 1 x, 2 y, 3 z

    ObjectNode* objects() const { return static_cast<ObjectNode*>(below); }
    KdNode* belowChild() const { return static_cast<KdNode*>(below); }
};

struct Box {
    Vec3 min;
    Vec3 max;
};

}  // namespace lumo
