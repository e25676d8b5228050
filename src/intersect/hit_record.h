// The result of one intersection, and the per-thread camera-ray record.
#pragma once

#include <cstdint>

#include "core/vec3.h"
#include "scene/scene_object.h"

namespace lumo {

struct HitRecord {
    Vec3 position;   // world hit point (planar), local (codes 3, 8, 9), unset (2, 6, 7)
    Vec3 normal;     // written only by the torus during intersection; completed by shading
    float u;
    float v;
    float texS;
    float texT;
    float distance;  // negative = no hit; routines write exactly -1.0 for a miss
    SceneObject* object;
    uint16_t part;
};

struct PrimaryRay {
    Vec3 direction;      // unit length; origin is the camera's eyePosition
    HitRecord candidate;
    HitRecord nearest;
    uint32_t rayId = 0;  // incremented before every traced camera ray; key of the mailbox
    int slot = 0;        // worker slot: selects this thread's mailbox in every object
};

}  // namespace lumo
